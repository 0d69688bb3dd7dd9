#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>

#include "form2.h"
#include "platform_choice.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

class BannerTest : public WindowTest {
 protected:
  void LaterStart() { WriteStoreFile("[General]\nad=1\nrun=1\n"); }
  QTimer* Timer1() { return Find<QTimer>("Timer1"); }
  // One tick of Timer1, as its interval ends.
  void Tick() {
    QTimer* timer = Timer1();
    ASSERT_NE(timer, nullptr);
    ASSERT_TRUE(timer->isActive());
    QTimerEvent tick(timer->timerId());
    QCoreApplication::sendEvent(timer, &tick);
  }
  QPoint Frame() const { return window_->frameGeometry().topLeft(); }
  static std::vector<QWidget*> VisibleWindows() {
    std::vector<QWidget*> shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->isVisible()) shown.push_back(widget);
    }
    return shown;
  }
};

// 680 and 1250 twips are 45⅓ and 83⅓ pixels at 15 twips to the pixel.
TEST(BannerPositionTest, TwipsOffsetsRoundToWholePixels) {
  struct Case {
    QPoint frame;
    QPoint banner;
  };
  const Case kCases[] = {{{500, 300}, {455, 217}}, {{45, 83}, {0, 0}},
                         {{0, 0}, {-45, -83}},     {{-10, -10}, {-55, -93}},
                         {{1, 2}, {-44, -81}},     {{1280, 1024}, {1235, 941}}};
  for (const Case& c : kCases) {
    EXPECT_EQ(BannerPosition(c.frame), c.banner) << c.frame.x() << "," << c.frame.y();
  }
}

TEST_F(BannerTest, AFirstStartShowsNoBannerAndLeavesTheTimerIdle) {
  Start();
  EXPECT_EQ(window_->Banner(), nullptr);
  ASSERT_NE(Timer1(), nullptr);
  EXPECT_FALSE(Timer1()->isActive());
  EXPECT_EQ(Timer1()->interval(), 25);
  EXPECT_EQ(Timer1()->parent(), Find("frm2"));
  EXPECT_EQ(VisibleWindows(), std::vector<QWidget*>{window_.get()});
  Close();
  EXPECT_TRUE(VisibleWindows().empty());
}

TEST_F(BannerTest, ABannerFlagOtherThanOneShowsNoBanner) {
  for (const char* ad : {"0", "2", "-1"}) {
    WriteStoreFile(QByteArray("[General]\nrun=1\nad=") + ad + "\n");
    Start();
    EXPECT_EQ(window_->Banner(), nullptr) << ad;
    EXPECT_FALSE(Timer1()->isActive()) << ad;
    Close();
  }
}

TEST_F(BannerTest, ALaterStartShowsTheBannerBeforeTheWindowAsAWindowOfItsOwn) {
  LaterStart();
  Make();
  Form2* banner = window_->Banner();
  ASSERT_NE(banner, nullptr);
  EXPECT_TRUE(banner->isVisible());
  EXPECT_FALSE(window_->isVisible());  // the main window appears after its load handler
  EXPECT_TRUE(Timer1()->isActive());
  EXPECT_EQ(Timer1()->interval(), 25);
  EXPECT_EQ(banner->parentWidget(), nullptr);
  EXPECT_TRUE(banner->isWindow());
  EXPECT_FALSE(banner->isModal());
  EXPECT_EQ(banner->windowType(), Qt::Tool);
  EXPECT_TRUE(banner->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(banner->size(), QSize(468, 60));
  EXPECT_EQ(banner->minimumSize(), banner->maximumSize());
  EXPECT_EQ(banner->cursor().shape(), Qt::PointingHandCursor);
  auto* image = banner->findChild<QLabel*>(QStringLiteral("Image1"));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 465, 57));
  EXPECT_EQ(image->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(banner->pos(), BannerPosition(Frame()));
  window_->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  EXPECT_TRUE(banner->isVisible());
}

TEST_F(BannerTest, TheBannerShowsItsPicture) {
  LaterStart();
  Start();
  const QImage shown = window_->Banner()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage picture =
      QImage(QStringLiteral(":/images/banner.gif")).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(picture.size(), QSize(468, 60));
  EXPECT_EQ(shown, picture);
}

TEST_F(BannerTest, EveryTickPutsTheBannerAboveTheMovedWindow) {
  LaterStart();
  Start();
  Form2* banner = window_->Banner();
  ASSERT_NE(banner, nullptr);
  for (const QPoint to : {QPoint(300, 200), QPoint(610, 480), QPoint(46, 84), QPoint(20, 10)}) {
    window_->move(to);
    ASSERT_EQ(Frame(), to);
    Tick();
    EXPECT_EQ(banner->pos(), to + QPoint(-45, -83)) << to.x() << "," << to.y();
  }
  // Between ticks it stays where it was put.
  const QPoint placed = banner->pos();
  window_->move(400, 400);
  EXPECT_EQ(banner->pos(), placed);
}

TEST_F(BannerTest, AClickHidesTheBannerForGoodAndOpensTheMakersSite) {
  LaterStart();
  Start();
  Form2* banner = window_->Banner();
  ASSERT_NE(banner, nullptr);
  auto* image = banner->findChild<QLabel*>(QStringLiteral("Image1"));
  QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(200, 30));
  EXPECT_FALSE(banner->isVisible());
  EXPECT_EQ(window_->Banner(), banner);  // hidden, not destroyed
  EXPECT_EQ(opened_, std::vector<QString>{QStringLiteral("http://www.velmora-soft.example/")});
  EXPECT_TRUE(Timer1()->isActive());
  window_->move(250, 250);
  Tick();
  EXPECT_FALSE(banner->isVisible());
  EXPECT_TRUE(messages_.empty());
}

// Image1 leaves a strip three pixels wide along the right and bottom edges; the window itself
// answers no click.
TEST_F(BannerTest, AClickOnTheEdgeStripDoesNothing) {
  LaterStart();
  Start();
  Form2* banner = window_->Banner();
  ASSERT_NE(banner, nullptr);
  for (const QPoint at : {QPoint(466, 30), QPoint(200, 58), QPoint(467, 59)}) {
    QTest::mouseClick(banner, Qt::LeftButton, {}, at);
  }
  EXPECT_TRUE(banner->isVisible());
  EXPECT_TRUE(opened_.empty());
}

TEST_F(BannerTest, ClosingTheWindowClosesTheBannerShownOrHidden) {
  for (const bool hidden : {false, true}) {
    LaterStart();
    Start();
    QPointer<Form2> banner = window_->Banner();
    ASSERT_FALSE(banner.isNull());
    if (hidden) {
      QTest::mouseClick(banner->findChild<QLabel*>(QStringLiteral("Image1")), Qt::LeftButton);
    }
    Close();
    EXPECT_TRUE(ReadStoreFile().contains("st14=0")) << hidden;  // the options saved as well
    EXPECT_TRUE(banner.isNull()) << hidden;
    EXPECT_EQ(window_->Banner(), nullptr) << hidden;
    EXPECT_TRUE(VisibleWindows().empty()) << hidden;
    // A tick that comes after the close finds no banner to move.
    QTimerEvent tick(Timer1()->timerId());
    QCoreApplication::sendEvent(Timer1(), &tick);
  }
}

// The banner is no window of its own to the user: it goes with the minimised window and comes back
// with it, at its place above the window.
TEST_F(BannerTest, TheBannerIsHiddenWhileTheWindowIsMinimised) {
  LaterStart();
  Start();
  Form2* banner = window_->Banner();
  ASSERT_NE(banner, nullptr);
  for (int round = 0; round < 2; ++round) {
    window_->showMinimized();
    EXPECT_TRUE(window_->isMinimized()) << round;
    EXPECT_FALSE(banner->isVisible()) << round;
    window_->showNormal();
    EXPECT_FALSE(window_->isMinimized()) << round;
    EXPECT_TRUE(banner->isVisible()) << round;
    EXPECT_EQ(banner->pos(), BannerPosition(Frame())) << round;
  }
  EXPECT_EQ(VisibleWindows().size(), 2u);
}

TEST_F(BannerTest, ABannerHiddenByAClickStaysHiddenWhenTheWindowIsRestored) {
  LaterStart();
  Start();
  Form2* banner = window_->Banner();
  ASSERT_NE(banner, nullptr);
  QTest::mouseClick(banner->findChild<QLabel*>(QStringLiteral("Image1")), Qt::LeftButton);
  window_->showMinimized();
  window_->showNormal();
  EXPECT_FALSE(banner->isVisible());
  EXPECT_EQ(VisibleWindows(), std::vector<QWidget*>{window_.get()});
}

TEST(PlatformChoiceTest, AWaylandSessionRunsOnX11UnlessThePlatformIsSet) {
  struct Case {
    const char* qpa;
    const char* wayland_display;
    const char* session;
    const char* chosen;
  };
  const Case kCases[] = {
      {"", "wayland-0", "wayland", "xcb;wayland"},
      {"", "wayland-0", "", "xcb;wayland"},
      {"", "", "wayland", "xcb;wayland"},
      {"", "", "x11", ""},
      {"", "", "", ""},
      {"wayland", "wayland-0", "wayland", ""},
      {"offscreen", "", "", ""},
      {"xcb", "wayland-0", "wayland", ""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ChosenPlatform(c.qpa, c.wayland_display, c.session), QByteArray(c.chosen))
        << c.qpa << "|" << c.wayland_display << "|" << c.session;
  }
}

// Without a display Qt aborts with an English message; the program says first, in Russian, what
// the window needs.
TEST(PlatformChoiceTest, AMissingDisplayIsToldBeforeQtStarts) {
  struct Case {
    const char* platform;
    const char* display;
    const char* wayland_display;
    bool x11_answers;
    const char* reason;  // the start of the text; "" for none
  };
  const Case kCases[] = {
      {"", "", "", true, "нет графического сеанса: переменная DISPLAY не задана."},
      {"xcb", "", "", true, "нет графического сеанса: переменная DISPLAY не задана."},
      {"xcb;wayland", "", "", true, "нет графического сеанса: переменная DISPLAY не задана."},
      {"", ":99", "", false, "не удаётся подключиться к дисплею X11 «:99»."},
      {"xcb", ":1", "", false, "не удаётся подключиться к дисплею X11 «:1»."},
      {"", ":0", "", true, ""},
      {"xcb;wayland", "", "wayland-0", true, ""},
      {"xcb;wayland", ":0", "wayland-0", false, ""},  // Wayland is the fallback
      {"offscreen", "", "", false, ""},
      {"wayland", "", "", false, ""},
      {"vnc", "", "", false, ""},
  };
  for (const Case& c : kCases) {
    const QString reason = MissingDisplayReason(c.platform, c.display, c.wayland_display,
                                                [&](const QByteArray&) { return c.x11_answers; });
    const std::string tag = std::string(c.platform) + "|" + c.display + "|" + c.wayland_display;
    if (*c.reason == '\0') {
      EXPECT_EQ(reason, QString()) << tag;
      continue;
    }
    EXPECT_TRUE(reason.startsWith(QString::fromUtf8(c.reason)))
        << tag << ": " << reason.toStdString();
    EXPECT_TRUE(reason.endsWith(QStringLiteral(
        " Окну Slimtag нужен графический сеанс X11 или XWayland; без окна страницы обрабатывает "
        "slimtag-batch.")))
        << tag;
  }
}

}  // namespace
}  // namespace slimtag
