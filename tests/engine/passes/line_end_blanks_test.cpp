#include "passes/line_end_blanks.h"

#include <gtest/gtest.h>

#include "pass_cases.h"

namespace slimtag {
namespace {

using testing::LineCase;

class LeadingBlanks : public ::testing::TestWithParam<LineCase> {};

TEST_P(LeadingBlanks, RemovesBlanksBeforeTheFirstOtherCharacter) {
  EXPECT_EQ(testing::Applied(RemoveLeadingBlanks, GetParam().before), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Lines, LeadingBlanks,
                         ::testing::Values(LineCase{"   <p>", "<p>"},
                                           // A tab stops the trimming.
                                           LineCase{"\t  <p>", "\t  <p>"},
                                           LineCase{" \t <p>", "\t <p>"}, LineCase{"    ", ""},
                                           LineCase{"", ""}, LineCase{"<p>  ", "<p>  "},
                                           // Only code 32 is a blank.
                                           LineCase{"\xC2\xA0 x", "\xC2\xA0 x"},
                                           LineCase{"\n x", "\n x"}));

class TrailingBlanks : public ::testing::TestWithParam<LineCase> {};

TEST_P(TrailingBlanks, RemovesBlanksAfterTheLastOtherCharacter) {
  EXPECT_EQ(testing::Applied(RemoveTrailingBlanks, GetParam().before), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Lines, TrailingBlanks,
                         ::testing::Values(LineCase{"<p>   ", "<p>"},
                                           // A blank and a tab at the end both stay.
                                           LineCase{"<p> \t", "<p> \t"},
                                           LineCase{"<p>\t  ", "<p>\t"}, LineCase{"   ", ""},
                                           LineCase{"", ""}, LineCase{"  <p>", "  <p>"},
                                           LineCase{"x \n", "x \n"}));

}  // namespace
}  // namespace slimtag
