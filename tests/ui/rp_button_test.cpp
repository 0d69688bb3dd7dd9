#include <gtest/gtest.h>

#include <QFontInfo>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include "rp_button.h"

namespace slimtag {
namespace {

struct Shown {
  RpButton button;
  explicit Shown(int style) {
    button.setButtonStyle(style);
    button.setText(QStringLiteral("Оптимизировать"));
    button.resize(120, 25);
    button.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&button));
  }
};

TEST(RpButton, ClickOfAnEnabledButtonIsReportedOnce) {
  for (int style : {RpButton::kPushButton, RpButton::kNavigationToggle}) {
    Shown shown(style);
    QSignalSpy clicks(&shown.button, &RpButton::clicked);
    QTest::mouseClick(&shown.button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1) << style;
  }
}

TEST(RpButton, AnInactiveButtonIgnoresMouseAndKeys) {
  Shown shown(RpButton::kPushButton);
  shown.button.setEnabled(false);
  QSignalSpy clicks(&shown.button, &RpButton::clicked);
  QTest::mouseClick(&shown.button, Qt::LeftButton);
  QTest::keyClick(&shown.button, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 0);
}

TEST(RpButton, ReturnAndEnterClickTheFocusedButtonOncePerPress) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  const Case kCases[] = {{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}};
  for (const Case& c : kCases) {
    for (int style : {RpButton::kPushButton, RpButton::kNavigationToggle}) {
      Shown shown(style);
      shown.button.setFocus();
      QSignalSpy clicks(&shown.button, &RpButton::clicked);
      QTest::keyClick(&shown.button, c.key, c.modifiers);
      EXPECT_EQ(clicks.count(), 1) << c.key << " " << style;
      // A held key repeats its press: the button is still pressed once.
      QTest::sendKeyEvent(QTest::KeyAction::Press, &shown.button, c.key, QString(), c.modifiers);
      QKeyEvent repeat(QEvent::KeyPress, c.key, c.modifiers, QString(), true);
      QCoreApplication::sendEvent(&shown.button, &repeat);
      EXPECT_EQ(clicks.count(), 2) << c.key << " " << style;
      shown.button.setEnabled(false);
      QTest::keyClick(&shown.button, c.key, c.modifiers);
      EXPECT_EQ(clicks.count(), 2) << c.key << " " << style;
    }
  }
}

// The pressed look belongs to the program: a click on a toggle reports the click and leaves the
// value to the handler.
TEST(RpButton, AClickDoesNotChangeTheValue) {
  Shown shown(RpButton::kNavigationToggle);
  QTest::mouseClick(&shown.button, Qt::LeftButton);
  EXPECT_FALSE(shown.button.value());
  shown.button.setValue(true);
  QTest::mouseClick(&shown.button, Qt::LeftButton);
  EXPECT_TRUE(shown.button.value());
}

TEST(RpButton, SeparatorsTakeNeitherFocusNorClicks) {
  for (int style : {RpButton::kVerticalSeparator, RpButton::kHorizontalSeparator}) {
    Shown shown(style);
    EXPECT_EQ(shown.button.focusPolicy(), Qt::NoFocus) << style;
    EXPECT_TRUE(shown.button.testAttribute(Qt::WA_TransparentForMouseEvents)) << style;
  }
  Shown push(RpButton::kPushButton);
  EXPECT_NE(push.button.focusPolicy(), Qt::NoFocus);
  EXPECT_FALSE(push.button.testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(RpButton, UsesTheSansSerifFaceAt8Point25) {
  RpButton button;
  EXPECT_DOUBLE_EQ(button.font().pointSizeF(), 8.25);
  EXPECT_EQ(button.font().weight(), QFont::Normal);
  EXPECT_EQ(button.font().styleHint(), QFont::SansSerif);
  // Whatever face the system resolves it to must have the Cyrillic captions' letters.
  EXPECT_TRUE(QFontMetrics(button.font()).inFont(QChar(0x0416)));  // Ж
}

}  // namespace
}  // namespace slimtag
