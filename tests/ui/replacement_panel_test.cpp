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

}  // namespace
}  // namespace slimtag
