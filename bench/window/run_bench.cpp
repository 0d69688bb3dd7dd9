// The window's run, headless: the window started on FOLDER with Qt's offscreen platform, every
// page selected and the boxes given ticked, then «Оптимизировать» clicked. Prints the time from
// the click until the run's end is shown (the message given and the list re-read), and the
// message, for bench/window-vs-batch.sh to set beside slimtag-batch on the same pages.
//
//   window_run_bench FOLDER BOX,BOX,...      (slimtag.tmp goes in the working directory)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "form1.h"
#include "option_box.h"
#include "rp_button.h"

namespace slimtag {
namespace {

// The message is kept for the output; no box waits for a user.
class KeptMessage : public MessageBoxes {
 public:
  explicit KeptMessage(QString& text) : text_(text) {}
  void Show(QWidget* /*parent*/, const QString& text, MessageIcon /*icon*/) override {
    text_ = text;
  }
  bool Ask(QWidget* /*parent*/, const QString& /*question*/) override { return false; }

 private:
  QString& text_;
};

int Run(const QString& folder, const QString& boxes) {
  // A store of its own: a first start, so no banner, and the user's boxes stay as they were.
  QTemporaryDir config;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
  qputenv("HOME", QFile::encodeName(QDir(folder).absolutePath()));
  QString message;
  WindowServices services;
  services.message_boxes = std::make_unique<KeptMessage>(message);
  Form1 window(std::move(services));
  window.show();
  QApplication::processEvents();

  const auto* list = window.findChild<QListWidget*>(QStringLiteral("File1"));
  for (const QString& number : boxes.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    auto* box = window.findChild<OptionBox*>(QStringLiteral("Check") + number);
    if (!box) {
      std::fprintf(stderr, "window_run_bench: no box %s\n", qPrintable(number));
      return 2;
    }
    box->SetValue(1);
  }
  window.findChild<RpButton*>(QStringLiteral("Command2"))->click();
  QApplication::processEvents();
  const int pages = list->count();

  QEventLoop loop;
  QObject::connect(&window, &Form1::RunEnded, &loop, &QEventLoop::quit);
  QElapsedTimer clock;
  clock.start();
  window.findChild<RpButton*>(QStringLiteral("Command1"))->click();
  if (window.Running()) loop.exec();
  const qint64 elapsed = clock.elapsed();
  std::printf("window: %d pages listed, run %lld ms\n%s\n", pages, static_cast<long long>(elapsed),
              qPrintable(message));
  return window.LastRun().Failure ? 1 : 0;
}

}  // namespace
}  // namespace slimtag

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_run_bench FOLDER BOX,BOX,...\n");
    return 64;
  }
  return slimtag::Run(QString::fromLocal8Bit(argv[1]), QString::fromLatin1(argv[2]));
}
