#include "passes/tag_blanks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "pass_cases.h"
#include "reference_passes.h"

namespace slimtag {
namespace {

using testing::LineCase;

class TagBlanks : public ::testing::TestWithParam<LineCase> {};

TEST_P(TagBlanks, FourStepsOnTheLine) {
  EXPECT_EQ(testing::Applied(RemoveTagBlanks, GetParam().before), GetParam().after);
  // The plain steps give the same line.
  EXPECT_EQ(testing::ReferenceTagBlanks(GetParam().before), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TagBlanks,
    ::testing::Values(
        LineCase{"<td>   Text</td>", "<td> Text</td>"},
        // No ">" is followed by two blanks and no "<" by a blank.
        LineCase{"<b> x</b> <i>y</i>", "<b> x</b> <i>y</i>"}, LineCase{"a  <b>c <i>", "a <b>c <i>"},
        // Comparison signs count as brackets.
        LineCase{"if (a < b)", "if (a <b)"}, LineCase{"x > 1", "x> 1"}, LineCase{"<  b>", "<b>"},
        LineCase{"<b  >", "<b>"}, LineCase{"</a >", "</a>"},
        // A run between two tags shrinks to one blank; one after "<" or before ">" goes.
        LineCase{"</td>     <td>", "</td> <td>"}, LineCase{"<   >", "<>"},
        LineCase{"<p>  </p>", "<p> </p>"}, LineCase{"x   y", "x   y"},
        // Tabs are not blanks.
        LineCase{"<td>\t  x", "<td>\t  x"}, LineCase{"  <p>", " <p>"}, LineCase{"<p>  ", "<p> "},
        LineCase{"", ""}, LineCase{"   ", "   "}));

// The one sweep against the four steps run one after another, on lines made of brackets, blanks
// and a few other characters, where runs and brackets meet in every way.
TEST(TagBlanks, OneSweepAgreesWithTheStepsOnRandomLines) {
  std::mt19937 random(8);
  const std::string alphabet = "<<>>    a\t";
  for (int trial = 0; trial < 20000; ++trial) {
    std::string line;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) line += alphabet[random() % alphabet.size()];
    std::string fast = line;
    RemoveTagBlanks(fast);
    ASSERT_EQ(fast, testing::ReferenceTagBlanks(line)) << "line \"" << line << '"';
  }
}

}  // namespace
}  // namespace slimtag
