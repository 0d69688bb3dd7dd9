#include <QHelpEvent>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QWidget>

#include "rp_button.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

struct Page {
  const char* button;
  const char* panel;
  bool optimise_enabled;
  const char* optimise_caption;
};

constexpr Page kPages[] = {
    {"rpButton1", "frm1", true, "Оптимизировать"},
    {"rpButton2", "frm3", true, "Оптимизировать"},
    {"rpButton7", "frm4", true, "Оптимизировать"},
    {"rpButton3", "frm2", false, "Slimtag v2.5.22"},
};

class NavigationTest : public WindowTest {
 protected:
  void ExpectShown(const Page& shown) {
    for (const Page& page : kPages) {
      const bool own = &page == &shown;
      EXPECT_EQ(Find(page.panel)->isVisible(), own) << shown.button << " " << page.panel;
      EXPECT_EQ(Find<RpButton>(page.button)->value(), own) << shown.button << " " << page.button;
    }
    auto* optimise = Find<RpButton>("Command1");
    EXPECT_EQ(optimise->isEnabled(), shown.optimise_enabled) << shown.button;
    EXPECT_EQ(optimise->text(), QString::fromUtf8(shown.optimise_caption)) << shown.button;
  }
};

TEST_F(NavigationTest, StartsOnTheFilePanelWithTheOptimiseButtonReady) {
  Start();
  ExpectShown(kPages[0]);
}

TEST_F(NavigationTest, EveryButtonShowsItsOwnPanelFromEveryOther) {
  Start();
  for (const Page& from : kPages) {
    for (const Page& to : kPages) {
      Click(from.button);
      Click(to.button);
      ExpectShown(to);
    }
  }
}

TEST_F(NavigationTest, TheInactiveOptimiseButtonOnTheAboutPanelStartsNoRun) {
  Start();
  Click("rpButton3");
  Click("Command1");
  EXPECT_FALSE(window_->Running());
  EXPECT_TRUE(messages_.empty());
  Click("rpButton1");
  Optimise();
  EXPECT_EQ(messages_.size(), 1u);  // the home folder holds no pages: the warning
}

// The controls' places are layout_test.cpp's.
TEST_F(NavigationTest, WindowIsFixedAt377By383WithItsSeparators) {
  Form1& window = Start();
  EXPECT_EQ(window.size(), QSize(377, 383));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Slimtag v2.5"));
  EXPECT_FALSE(window.windowIcon().isNull());
  for (const char* separator : {"rpButton4", "rpButton5", "rpButton6"}) {
    EXPECT_EQ(Find<RpButton>(separator)->buttonStyle(), RpButton::kVerticalSeparator);
  }
}

// The inactive button shows the product line; it offers no tip about optimising, and gets its tip
// back with its caption.
TEST_F(NavigationTest, TheInactiveOptimiseButtonShowsNoToolTip) {
  Start();
  auto* optimise = Find<RpButton>("Command1");
  const auto tip_shown = [&] {
    QToolTip::hideText();
    const QPoint at = optimise->rect().center();
    QHelpEvent hover(QEvent::ToolTip, at, optimise->mapToGlobal(at));
    QCoreApplication::sendEvent(optimise, &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  EXPECT_TRUE(tip_shown().contains(QStringLiteral(" Оптимизировать выбранные файлы ")));
  Click("rpButton3");
  EXPECT_EQ(optimise->toolTip(), QString());
  EXPECT_EQ(tip_shown(), QString());
  Click("rpButton2");
  EXPECT_EQ(optimise->toolTip(), QStringLiteral(" Оптимизировать выбранные файлы "));
  EXPECT_TRUE(tip_shown().contains(QStringLiteral(" Оптимизировать выбранные файлы ")));
  QToolTip::hideText();
}

// Return and Enter (the keypad's) press the focused button as Space does.
TEST_F(NavigationTest, ReturnAndEnterPressTheFocusedButton) {
  struct Case {
    const char* button;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* panel;  // shown afterwards
  };
  const Case kCases[] = {
      {"rpButton2", Qt::Key_Return, Qt::NoModifier, "frm3"},
      {"rpButton7", Qt::Key_Enter, Qt::KeypadModifier, "frm4"},
      {"rpButton3", Qt::Key_Return, Qt::NoModifier, "frm2"},
      {"rpButton1", Qt::Key_Space, Qt::NoModifier, "frm1"},
  };
  Start();
  for (const Case& c : kCases) {
    auto* button = Find<RpButton>(c.button);
    button->setFocus();
    QTest::keyClick(button, c.key, c.modifiers);
    EXPECT_TRUE(Find(c.panel)->isVisible()) << c.button;
  }
}

// The window's frame, title bar included, stands in the middle of the screen's free area.
TEST_F(NavigationTest, TheWindowsFrameIsCentredOnTheScreen) {
  Form1& window = Start();
  ASSERT_NE(window.screen(), nullptr);
  const QRect available = window.screen()->availableGeometry();
  const QRect frame = window.frameGeometry();
  ASSERT_NE(frame.size(), window.size()) << "the platform draws no frame to centre";
  EXPECT_EQ(frame.center(), available.center());
}

}  // namespace
}  // namespace slimtag
