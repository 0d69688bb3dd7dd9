// The window during a run: the run works on a thread of its own, held at a chosen page by a hook
// in the platform, while the test drives the window.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "window_fixture.h"
// After the fixture: its namespace slimtag::testing would hide gtest's.
#include "fake_platform.h"
#include "posix/posix_platform.h"
#include "queued_host.h"

namespace slimtag {
namespace {

// Holds the run's thread at one point until the test lets it go.
class Gate {
 public:
  // On the run's thread.
  void Hold() {
    held_.release();
    go_.acquire();
  }
  // On the test's: returns once the run is held.
  void WaitUntilHeld() { held_.acquire(); }
  void Open() {
    if (open_) return;
    open_ = true;
    go_.release();
  }

 private:
  std::binary_semaphore held_{0};
  std::binary_semaphore go_{0};
  bool open_ = false;
};

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class WindowRunTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(pages_.isValid());
  }
  // A run still held would never end: the window could not go.
  void TearDown() override {
    gate_->Open();
    WindowTest::TearDown();
  }

  QString Page(const char* name) const { return pages_.filePath(QString::fromUtf8(name)); }

  // Starts the window on a folder of pages a.htm, b.htm and c.htm, each with one "&nbsp;" to
  // remove, all selected and the space entity's box ticked; the run it starts is held just before
  // it opens the page numbered hold_at (from 1).
  void StartOnThreePages(int hold_at) {
    for (const char* name : {"a.htm", "b.htm", "c.htm"}) WriteFile(Page(name), "x&nbsp;\r\n");
    auto platform = std::make_unique<testing::FailingPlatform>(posix_, timeline_);
    platform->BeforeEach("open", [this, hold_at] {
      if (++opened_ == hold_at) gate_->Hold();
    });
    UsePlatform(std::move(platform));
    Start();
    ShowFolder(pages_.path());
    Click("Command2");  // every page
    Click("rpButton2");
    Click("Check7");  // the space entity
    Click("rpButton1");
  }
  // Clicks «Оптимизировать»; returns with the run held and the page held in the title, which
  // follows the run a frame behind at most.
  void StartRunAndHold() {
    Click("Command1");
    ASSERT_TRUE(window_->Running());
    gate_->WaitUntilHeld();
    const QString held =
        QStringLiteral("Оптимизируется файл: %1.htm").arg(QChar(u'a' + opened_ - 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->windowTitle() == held; }));
  }
  std::vector<QByteArray> Pages() const {
    std::vector<QByteArray> pages;
    for (const char* name : {"a.htm", "b.htm", "c.htm"}) pages.push_back(ReadFile(Page(name)));
    return pages;
  }

  QTemporaryDir pages_;
  PosixPlatform posix_;
  testing::Timeline timeline_;
  int opened_ = 0;  // on the run's thread
  std::unique_ptr<Gate> gate_ = std::make_unique<Gate>();
};

TEST_F(WindowRunTest, TheWindowPaintsAndTitlesEachPageWhileThePageIsInHand) {
  StartOnThreePages(2);
  StartRunAndHold();
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Оптимизируется файл: b.htm"));
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  PaintCounter counter;
  window_->installEventFilter(&counter);
  window_->update();
  while (counter.paints == 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  window_->removeEventFilter(&counter);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(Pages()[2], "x&nbsp;\r\n") << "not started yet";

  gate_->Open();
  WaitForRun();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].text.startsWith(QStringLiteral("3 файл(ов) обработано.\n")));
  EXPECT_EQ(Pages(), (std::vector<QByteArray>(3, "x\r\n")));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Slimtag v2.5"));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Pages started within a frame are told once it is over as the last of them, with nothing
// queued meanwhile; the last one started before the end.
TEST(QueuedHost, TellsTheLastPageStartedOnceAFrameAndTheEndAfterIt) {
  struct : RunHost {
    std::vector<std::string> told;
    void PageStarted(const std::string& name) override { told.push_back(name); }
    void RunFinished(const RunResult& /*result*/) override { told.push_back("end"); }
  } window;
  QObject context;
  QueuedHost queued(context, window);
  queued.PageStarted("a");  // told at once, and a frame starts
  QCoreApplication::processEvents();
  std::thread([&queued] {
    for (const char* name : {"b", "c"}) queued.PageStarted(name);
  }).join();
  QCoreApplication::sendPostedEvents(&context, QEvent::MetaCall);
  EXPECT_EQ(window.told, std::vector<std::string>{"a"});
  ASSERT_TRUE(QTest::qWaitFor([&window] { return window.told.size() == 2; }));
  queued.PageStarted("d");
  queued.RunFinished({});
  QCoreApplication::processEvents();
  EXPECT_EQ(window.told, (std::vector<std::string>{"a", "c", "d", "end"}));
}

// Each input changes the window when no run works, and nothing while one does.
TEST_F(WindowRunTest, TheUsersInputToTheWindowIsIgnoredWhileTheRunWorks) {
  struct Input {
    const char* name;
    std::function<void()> act;
  };
  const auto list = [this] { return Find<QListWidget>("File1"); };
  // Through the window, as the window system hands the user's input over.
  const auto click = [this](QWidget* widget, QPoint at) {
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(window_.get(), at));
  };
  const auto click_button = [&](const char* name) {
    QWidget* button = Find(name);
    click(button, button->rect().center());
  };
  const Input inputs[] = {
      {"a click on an entry",
       [&] {
         const QListWidgetItem* b = list()->findItems(QStringLiteral("b.htm"), {}).front();
         click(list()->viewport(), list()->visualItemRect(b).center());
       }},
      {"Space in the file list", [&] { QTest::keyClick(window_->windowHandle(), Qt::Key_Space); }},
      {"a click on «Очистить все»", [&] { click_button("Command3"); }},
      {"a click on the navigation bar", [&] { click_button("rpButton2"); }},
  };
  // What input can change: the selection, the panel shown, the focus, the runs.
  const auto state = [&] {
    QString seen;
    for (const RunRequest::Entry& entry : window_->Request().entries) {
      seen += QString::fromStdString(entry.name) + (entry.selected ? "+ " : "- ");
    }
    seen += Find("frm1")->isVisible() ? "files " : "other ";
    if (QWidget* focus = QApplication::focusWidget()) seen += focus->objectName();
    return seen + " " + QString::number(messages_.size());
  };

  StartOnThreePages(1);
  // Where Space acts.
  list()->setFocus();
  list()->selectionModel()->setCurrentIndex(list()->model()->index(0, 0),
                                            QItemSelectionModel::NoUpdate);
  StartRunAndHold();
  for (const Input& input : inputs) {
    SCOPED_TRACE(input.name);
    const QString before = state();
    input.act();
    QCoreApplication::processEvents();
    EXPECT_EQ(state(), before);
  }
  click_button("Command1");
  gate_->Open();
  WaitForRun();
  EXPECT_EQ(messages_.size(), 1u) << "one run";
  EXPECT_EQ(Pages(), (std::vector<QByteArray>(3, "x\r\n")));

  Click("Command2");
  for (const Input& input : inputs) {
    SCOPED_TRACE(input.name);
    const QString before = state();
    input.act();
    QCoreApplication::processEvents();
    EXPECT_NE(state(), before) << "after the run";
  }
}

// A close during the run asks whether to stop it. «Нет»: the run goes through and the window
// stays. «Да»: the run stops after the page in hand, says so, and the window closes.
TEST_F(WindowRunTest, ACloseDuringTheRunAsksWhetherToStopIt) {
  struct Case {
    const char* name;
    bool stop;
    std::vector<QByteArray> pages;
    QString message;
    bool visible;
  };
  const Case cases[] = {
      {"no",
       false,
       {"x\r\n", "x\r\n", "x\r\n"},
       "3 файл(ов) обработано.\nРазмер до оптимизации: 27 байт.\nРазмер после оптимизации: 9 "
       "байт.\n\nУдалено: 18 байт. (67%)",
       true},
      {"yes",
       true,
       {"x\r\n", "x\r\n", "x&nbsp;\r\n"},
       "Оптимизация остановлена по вашему запросу; остальные файлы не тронуты.\n\n2 файл(ов) "
       "обработано.\nРазмер до оптимизации: 18 байт.\nРазмер после оптимизации: 6 байт.\n\n"
       "Удалено: 12 байт. (67%)",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.clear();
    questions_.clear();
    opened_ = 0;
    gate_ = std::make_unique<Gate>();
    answer_ = [&c] { return c.stop; };
    StartOnThreePages(2);
    StartRunAndHold();

    window_->close();
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0].text,
              QStringLiteral("Оптимизация ещё идёт. Остановить её и закрыть окно?\n\nФайл, который "
                             "обрабатывается сейчас, будет обработан до конца, остальные "
                             "останутся нетронутыми."));
    EXPECT_EQ(questions_[0].title_meanwhile, QStringLiteral("Оптимизируется файл: b.htm"));
    EXPECT_TRUE(window_->isVisible()) << "not before the run has ended";
    EXPECT_TRUE(window_->Running());

    gate_->Open();
    WaitForRun();
    EXPECT_EQ(Pages(), c.pages);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, c.message);
    EXPECT_EQ(messages_[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(window_->isVisible(), c.visible);
    EXPECT_EQ(questions_.size(), 1u);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
}

}  // namespace
}  // namespace slimtag
