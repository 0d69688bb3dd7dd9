#include <gtest/gtest.h>

#include "pass_cases.h"
#include "passes/empty_tags.h"
#include "passes/space_entity.h"
#include "reference_passes.h"

namespace slimtag {
namespace {

using testing::LineCase;

class SpaceEntity : public ::testing::TestWithParam<LineCase> {};

TEST_P(SpaceEntity, DeletesTheEntityInAnyLetterCase) {
  EXPECT_EQ(testing::Applied(RemoveSpaceEntities, GetParam().before), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SpaceEntity,
    ::testing::Values(LineCase{"<td>&nbsp;</td>", "<td></td>"}, LineCase{"&NBSP;&Nbsp;&nBsP;", ""},
                      // Words on both sides join.
                      LineCase{"a&nbsp;b", "ab"},
                      // A deletion that forms a new entity is followed by the next one.
                      LineCase{"&&nbsp;nbsp;", ""}, LineCase{"&&&nbsp;nbsp;nbsp;x", "x"},
                      // Without its semicolon, and the numeric forms, it stays.
                      LineCase{"&nbsp x", "&nbsp x"}, LineCase{"&#160;&#xA0;", "&#160;&#xA0;"},
                      LineCase{"", ""}));

class EmptyTags : public ::testing::TestWithParam<LineCase> {};

TEST_P(EmptyTags, DeletesTheRowsOneAfterAnother) {
  EXPECT_EQ(testing::Applied(RemoveEmptyTags, GetParam().before), GetParam().after);
  EXPECT_EQ(testing::ReferenceRows(GetParam().before, kEmptyTags), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EmptyTags,
    ::testing::Values(LineCase{"a<p></p>b", "ab"}, LineCase{"<P></p><Center></CENTER>", ""},
                      // Row 1 leaves an empty centre pair, which row 2 deletes.
                      LineCase{"<center><p></p></center>", ""},
                      // Row 2 forms an empty paragraph after row 1 has finished.
                      LineCase{"<P><center></center></P>", "<P></P>"},
                      LineCase{"<p><p></p></p>", ""}, LineCase{"<left></left><right></right>", ""},
                      // Not empty, or not in the table.
                      LineCase{"<p ></p>", "<p ></p>"},
                      LineCase{"<p class=x></p>", "<p class=x></p>"},
                      LineCase{"<p> </p>", "<p> </p>"},
                      LineCase{"<b></b><div></div>", "<b></b><div></div>"}, LineCase{"<p>", "<p>"},
                      LineCase{"", ""}));

TEST(SpaceEntityAndEmptyTags, AParagraphOfOnlyASpaceEntityDisappears) {
  std::string line = "x<p>&nbsp;</p>y";
  RemoveSpaceEntities(line);
  RemoveEmptyTags(line);
  EXPECT_EQ(line, "xy");
}

}  // namespace
}  // namespace slimtag
