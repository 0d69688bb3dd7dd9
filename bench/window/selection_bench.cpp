// «Выделить все» and «Очистить все» on a folder of many pages, through the window's own buttons,
// on Qt's offscreen platform, with the window shown and redrawn after each click. Each size has
// its folder and its window, made once.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "form1.h"
#include "rp_button.h"

namespace slimtag {
namespace {

// A folder of empty pages and the window started on it (the home folder is the start folder).
class Site {
 public:
  static Site& Get(int pages) {
    std::unique_ptr<Site>& site = Sites()[pages];
    if (!site) site.reset(new Site(pages));
    return *site;
  }
  // The windows go before the application does.
  static void CloseAll() { Sites().clear(); }

  QListWidget* File1() const { return window_->findChild<QListWidget*>(QStringLiteral("File1")); }
  RpButton* Button(const char* name) const {
    return window_->findChild<RpButton*>(QString::fromLatin1(name));
  }
  int Selected() const {
    return static_cast<int>(File1()->selectionModel()->selectedRows().size());
  }

 private:
  explicit Site(int pages) {
    for (int i = 0; i < pages; ++i) {
      std::ofstream(
          QFile::encodeName(folder_.filePath(QStringLiteral("page%1.htm").arg(i))).toStdString());
    }
    // A store of its own: a first start, so no banner either.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
    qputenv("HOME", QFile::encodeName(folder_.path()));
    window_ = std::make_unique<Form1>();
    window_->show();
    QApplication::processEvents();
  }

  static std::map<int, std::unique_ptr<Site>>& Sites() {
    static std::map<int, std::unique_ptr<Site>> sites;
    return sites;
  }

  QTemporaryDir folder_;
  QTemporaryDir config_;
  std::unique_ptr<Form1> window_;
};

void BM_SelectAll(benchmark::State& state) {
  Site& site = Site::Get(static_cast<int>(state.range(0)));
  if (site.File1()->count() != state.range(0)) {
    state.SkipWithError("the folder's pages are not all listed");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    site.File1()->clearSelection();
    state.ResumeTiming();
    site.Button("Command2")->click();
    QApplication::processEvents();
  }
  if (site.Selected() != state.range(0)) state.SkipWithError("not every entry was selected");
}

void BM_ClearAll(benchmark::State& state) {
  Site& site = Site::Get(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    site.Button("Command2")->click();  // selected as the user selects them
    QApplication::processEvents();
    state.ResumeTiming();
    site.Button("Command3")->click();
    QApplication::processEvents();
  }
  if (site.Selected() != 0) state.SkipWithError("an entry stayed selected");
}

BENCHMARK(BM_SelectAll)->Arg(5000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClearAll)->Arg(5000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace slimtag

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  slimtag::Site::CloseAll();
  return 0;
}
