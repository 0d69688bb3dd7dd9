#include "passes/colour_codes.h"

#include <gtest/gtest.h>

#include "pass_cases.h"
#include "reference_passes.h"

namespace slimtag {
namespace {

using testing::LineCase;

class ColourCodes : public ::testing::TestWithParam<LineCase> {};

TEST_P(ColourCodes, BecomeNamesRowAfterRow) {
  EXPECT_EQ(testing::Applied(ShortenColourCodes, GetParam().before), GetParam().after);
  EXPECT_EQ(testing::ReferenceRows(GetParam().before, kColourCodes), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ColourCodes,
    ::testing::Values(LineCase{"bgcolor=#ffffff", "bgcolor=white"},
                      LineCase{"color:#Ff0000;", "color:red;"},
                      LineCase{"#000000 #000000", "black black"}, LineCase{"#FF0000AA", "redAA"},
                      // Outside the table, and names, stay.
                      LineCase{"#FFF #000080 aqua", "#FFF #000080 aqua"},
                      // Row 1's name completes the code of row 30.
                      LineCase{"#FFFAF#00FFFF", "snowqua"}, LineCase{"#A52A2#00FFFF", "brownqua"},
                      LineCase{"#FFC0C#000000", "pinklack"},
                      // "coral" would complete the code of an earlier row, which has finished.
                      LineCase{"#F5F5D#FF7F50", "#F5F5Dcoral"}, LineCase{"##00FFFF", "#aqua"},
                      LineCase{"#00FFF", "#00FFF"}, LineCase{"", ""}));

}  // namespace
}  // namespace slimtag
