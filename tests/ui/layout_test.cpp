// Where each control stands, on which panel, with its caption and its tip: one row per control.
// The option boxes have a table of their own (options_panel_test.cpp), the About panel's texts
// theirs (about_panel_test.cpp), as each is checked with more than its place.

#include <QRect>
#include <QVariant>

#include "rp_button.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

struct Control {
  const char* name;
  const char* panel;  // the panel it stands on; nullptr: not checked
  QRect place;
  const char* caption;  // nullptr: a control without one
  const char* tip;      // nullptr: not checked
};

const Control kControls[] = {
    // The navigation bar and the optimise button, on the window itself.
    {"rpButton1", nullptr, {8, 8, 81, 25}, "Файлы", " Выбор файлов для оптимизации "},
    {"rpButton4", nullptr, {96, 8, 2, 25}, "", ""},
    {"rpButton2", nullptr, {104, 8, 73, 25}, "Параметры", " Настройка параметров оптимизации "},
    {"rpButton5", nullptr, {184, 8, 2, 25}, "", ""},
    {"rpButton7", nullptr, {192, 8, 73, 25}, "Замена", " Замена текста (кода) "},
    {"rpButton6", nullptr, {272, 8, 2, 25}, "", ""},
    {"rpButton3", nullptr, {280, 8, 88, 25}, "О программе", " О программе "},
    {"Command1", nullptr, {8, 352, 361, 25}, "Оптимизировать", " Оптимизировать выбранные файлы "},
    {"frm1", nullptr, {8, 32, 361, 313}, nullptr, nullptr},
    {"frm2", nullptr, {8, 32, 361, 313}, nullptr, nullptr},
    {"frm3", nullptr, {8, 32, 361, 313}, nullptr, nullptr},
    {"frm4", nullptr, {8, 32, 361, 313}, nullptr, nullptr},
    // The file panel.
    {"Drive1", "frm1", {8, 16, 169, 21}, nullptr, nullptr},
    {"Dir1", "frm1", {8, 40, 169, 261}, nullptr, nullptr},
    {"File1", "frm1", {184, 16, 169, 253}, nullptr, nullptr},
    {"Command2", "frm1", {184, 280, 81, 23}, "Выделить все", " Выделить все файлы "},
    {"Command3", "frm1", {272, 280, 81, 23}, "Очистить все", " Убрать выделение "},
    // The replacement panel.
    {"Text1", "frm4", {8, 32, 153, 21}, nullptr, nullptr},
    {"Text2", "frm4", {200, 32, 153, 21}, nullptr, nullptr},
    {"Text3", "frm4", {8, 56, 153, 21}, nullptr, nullptr},
    {"Text4", "frm4", {200, 56, 153, 21}, nullptr, nullptr},
    {"Text5", "frm4", {8, 80, 153, 21}, nullptr, nullptr},
    {"Text6", "frm4", {200, 80, 153, 21}, nullptr, nullptr},
    {"Check12", "frm4", {8, 112, 345, 17}, nullptr, " Использовать замену текста (кода) "},
    {"Text13", "frm4", {8, 160, 345, 21}, nullptr, nullptr},
    {"Text14", "frm4", {8, 184, 345, 21}, nullptr, nullptr},
    {"Text15", "frm4", {8, 208, 345, 21}, nullptr, nullptr},
    {"Check13", "frm4", {8, 240, 345, 17}, nullptr, " Использовать удаление текста (кода) "},
    {"rpButton8", "frm4", {272, 280, 81, 23}, "Очистить все", " Очистить содержимое полей "},
    // The About panel's lines and icon.
    {"rpButton10", "frm2", {24, 52, 313, 17}, nullptr, nullptr},
    {"rpButton11", "frm2", {24, 268, 313, 17}, nullptr, nullptr},
    {"Image1", "frm2", {40, 20, 32, 32}, nullptr, nullptr},
};

using LayoutTest = WindowTest;

TEST_F(LayoutTest, EachControlStandsInItsPlaceWithItsCaptionAndTip) {
  Start();
  for (const Control& c : kControls) {
    SCOPED_TRACE(c.name);
    QWidget* widget = Find(c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), c.place);
    if (c.panel) {
      EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(c.panel));
    }
    if (c.caption) {
      EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(c.caption));
    }
    if (c.tip) {
      EXPECT_EQ(widget->toolTip(), QString::fromUtf8(c.tip));
    }
    // A button's caption fits it in the face the system resolved.
    if (auto* button = qobject_cast<RpButton*>(widget); button && !button->IsSeparator()) {
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 4);
    }
  }
}

}  // namespace
}  // namespace slimtag
