#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

#include "option_box.h"
#include "rp_button.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

struct Row {
  const char* box;
  int top;
  const char* caption;
  const char* tip;  // nullptr: the caption with one blank either side
  bool enabled;
};

constexpr Row kRows[] = {
    {"Check1", 16, "Удалить пробелы в начале строк", nullptr, true},
    {"Check2", 40, "Удалить пробелы в конце строк", nullptr, true},
    {"Check3", 64, "Удалить пустые строки", nullptr, true},
    {"Check4", 88, "Удалить Мета Тэги редакторов",
     " Удалить Мета Тэги редакторов (generator, publisher и т.п.) ", false},
    {"Check8", 112, "Удалить лишние пробелы между тэгами",
     " Удалить пробелы между тэгами и внутри тэгов ", true},
    {"Check7", 136, "Удалить код пробела", " Удалить код пробела  (&nbsp;) ", true},
    {"Check9", 160, "Удалить пустые тэги",
     " Удалить пустые тэги (<P></P>; <CENTER></CENTER>; <LEFT></LEFT> и т.п.) ", true},
    {"Check10", 184, "Заменить логические тэги обычными",
     " Заменить логические тэги обычными (<STRONG>=<B>; <BLOCKQUOTE>=<UL> и т.п.) ", true},
    {"Check11", 208, "Заменить код цвета на более короткий",
     " Заменить код цвета на более короткий (\"#0000FF\"=\"BLUE\"; \"#000000\"=\"BLACK\" и т.п.) ",
     true},
    {"Check14", 232, "Удалить перевод строки", nullptr, true},
    {"Check5", 256, "Удалить комментарии", nullptr, false},
    {"Check6", 288, "Создать резервную копию", " Создать резервную копию  (\\~backup_TIME\\) ",
     true},
};

QString TipOf(const Row& row) {
  return row.tip ? QString::fromUtf8(row.tip)
                 : QStringLiteral(" ") + QString::fromUtf8(row.caption) + QStringLiteral(" ");
}

using OptionsPanelTest = WindowTest;

TEST_F(OptionsPanelTest, BoxesStandInOrderWithTheirCaptionsAndTips) {
  Start();
  Click("rpButton2");
  for (const Row& row : kRows) {
    auto* box = Find<OptionBox>(row.box);
    EXPECT_EQ(box->parentWidget()->objectName(), QStringLiteral("frm3")) << row.box;
    EXPECT_EQ(box->geometry().topLeft(), QPoint(8, row.top)) << row.box;
    EXPECT_EQ(box->height(), 17) << row.box;
    EXPECT_EQ(box->text(), QString::fromUtf8(row.caption)) << row.box;
    EXPECT_EQ(box->toolTip(), TipOf(row)) << row.box;
    EXPECT_EQ(box->isEnabled(), row.enabled) << row.box;
    EXPECT_LE(box->sizeHint().width(), box->width()) << row.box;  // the caption is not clipped
  }
  auto* line = Find<RpButton>("rpButton9");
  EXPECT_EQ(line->buttonStyle(), RpButton::kHorizontalSeparator);
  EXPECT_EQ(line->geometry().top(), 278);
  EXPECT_EQ(line->width(), 345);
}

// Qt would read "<P></P>" in a tip as markup and show neither the tags nor the blanks.
TEST_F(OptionsPanelTest, TipsShowTheirTextLiterally) {
  Start();
  Click("rpButton2");
  for (const char* name : {"Check9", "Check10", "Check7", "Check1"}) {
    QWidget* box = Find(name);
    const QPoint at(10, 8);
    QHelpEvent event(QEvent::ToolTip, at, box->mapToGlobal(at));
    QApplication::sendEvent(box, &event);
    ASSERT_TRUE(QToolTip::isVisible()) << name;
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    EXPECT_EQ(shown.toPlainText(), box->toolTip()) << name;
    QToolTip::hideText();
  }
}

TEST_F(OptionsPanelTest, AClickAnywhereOnABoxTicksAndClearsIt) {
  Start();
  Click("rpButton2");
  auto* box = Find<OptionBox>("Check8");
  for (int x : {5, 60, box->width() - 3}) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(x, 8));
    EXPECT_EQ(box->Value(), 1) << x;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(x, 8));
    EXPECT_EQ(box->Value(), 0) << x;
  }
}

// A greyed state only comes from the store; the user's clicks give clear and ticked.
TEST_F(OptionsPanelTest, AClickOnAGreyedBoxClearsItAndNeverGreysIt) {
  WriteStoreFile("[General]\nrun=1\nst3=2\n");
  Start();
  Click("rpButton2");
  auto* box = Find<OptionBox>("Check3");
  ASSERT_EQ(box->Value(), 2);
  EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    Click("Check3");
    seen.push_back(box->Value());
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 0, 1}));
}

TEST_F(OptionsPanelTest, TheTwoGreyedBoxesCannotBeChanged) {
  WriteStoreFile("[General]\nrun=1\nst4=1\n");
  Start();
  Click("rpButton2");
  Click("Check4");
  Click("Check5");
  QTest::keyClick(Find("Check4"), Qt::Key_Space);
  EXPECT_EQ(Find<OptionBox>("Check4")->Value(), 1);
  EXPECT_EQ(Find<OptionBox>("Check5")->Value(), 0);
  // Leaving the panel and coming back enables nothing.
  Click("rpButton7");
  Click("rpButton2");
  EXPECT_FALSE(Find("Check4")->isEnabled());
  EXPECT_FALSE(Find("Check5")->isEnabled());
}

}  // namespace
}  // namespace slimtag
