#include <QLineEdit>
#include <QTest>

#include "option_box.h"
#include "rp_button.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

constexpr const char* kPairFields[] = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6"};
constexpr const char* kRemovalFields[] = {"Text13", "Text14", "Text15"};

class ReplacementPanelTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    Click("rpButton7");
  }
  template <std::size_t N>
  void ExpectEnabled(const char* const (&fields)[N], bool enabled) {
    for (const char* name : fields) EXPECT_EQ(Find(name)->isEnabled(), enabled) << name;
  }
  void FillAll() {
    int n = 0;
    for (const char* name : kPairFields) Find<QLineEdit>(name)->setText(QString::number(++n));
    for (const char* name : kRemovalFields) Find<QLineEdit>(name)->setText(QString::number(++n));
  }
};

TEST_F(ReplacementPanelTest, FieldsStartEmptyAndInactive) {
  ExpectEnabled(kPairFields, false);
  ExpectEnabled(kRemovalFields, false);
  for (const char* name : kPairFields) EXPECT_TRUE(Find<QLineEdit>(name)->text().isEmpty());
  EXPECT_EQ(Find<OptionBox>("Check12")->Value(), 0);
  EXPECT_EQ(Find<OptionBox>("Check13")->Value(), 0);
}

TEST_F(ReplacementPanelTest, EachUseBoxSwitchesItsOwnFieldsAndKeepsTheirText) {
  FillAll();
  Click("Check12");
  ExpectEnabled(kPairFields, true);
  ExpectEnabled(kRemovalFields, false);
  Click("Check13");
  ExpectEnabled(kRemovalFields, true);
  Click("Check12");
  ExpectEnabled(kPairFields, false);
  ExpectEnabled(kRemovalFields, true);
  Click("Check13");
  ExpectEnabled(kRemovalFields, false);
  EXPECT_EQ(Find<QLineEdit>("Text1")->text(), QStringLiteral("1"));
  EXPECT_EQ(Find<QLineEdit>("Text15")->text(), QStringLiteral("9"));
}

TEST_F(ReplacementPanelTest, ClearAllEmptiesActiveAndInactiveFieldsAlike) {
  Click("Check13");
  FillAll();
  Click("rpButton8");
  for (const char* name : kPairFields) EXPECT_TRUE(Find<QLineEdit>(name)->text().isEmpty()) << name;
  for (const char* name : kRemovalFields)
    EXPECT_TRUE(Find<QLineEdit>(name)->text().isEmpty()) << name;
  ExpectEnabled(kPairFields, false);
  ExpectEnabled(kRemovalFields, true);
  EXPECT_EQ(Find<OptionBox>("Check12")->Value(), 0);
  EXPECT_EQ(Find<OptionBox>("Check13")->Value(), 1);
}

TEST_F(ReplacementPanelTest, ControlsStandInTheirPlaces) {
  struct Place {
    const char* name;
    QRect rect;
  };
  const Place kPlaces[] = {
      {"Text1", {8, 32, 153, 21}},   {"Text2", {200, 32, 153, 21}},
      {"Text3", {8, 56, 153, 21}},   {"Text4", {200, 56, 153, 21}},
      {"Text5", {8, 80, 153, 21}},   {"Text6", {200, 80, 153, 21}},
      {"Text13", {8, 160, 345, 21}}, {"Text14", {8, 184, 345, 21}},
      {"Text15", {8, 208, 345, 21}}, {"rpButton8", {272, 280, 81, 23}},
  };
  for (const Place& place : kPlaces) {
    EXPECT_EQ(Find(place.name)->geometry(), place.rect) << place.name;
    EXPECT_EQ(Find(place.name)->parentWidget()->objectName(), QStringLiteral("frm4"));
  }
  EXPECT_EQ(Find("Check12")->geometry().topLeft(), QPoint(8, 112));
  EXPECT_EQ(Find("Check13")->geometry().topLeft(), QPoint(8, 240));
  EXPECT_EQ(Find("Check12")->toolTip(), QStringLiteral(" Использовать замену текста (кода) "));
  EXPECT_EQ(Find("Check13")->toolTip(), QStringLiteral(" Использовать удаление текста (кода) "));
  EXPECT_EQ(Find<RpButton>("rpButton8")->text(), QStringLiteral("Очистить все"));
  EXPECT_EQ(Find("rpButton8")->toolTip(), QStringLiteral(" Очистить содержимое полей "));
}

}  // namespace
}  // namespace slimtag
