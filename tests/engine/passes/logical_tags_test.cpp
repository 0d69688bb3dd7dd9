#include "passes/logical_tags.h"

#include <gtest/gtest.h>

#include "pass_cases.h"
#include "reference_passes.h"

namespace slimtag {
namespace {

using testing::LineCase;

class LogicalTags : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogicalTags, BecomePlainTagsInSmallLetters) {
  EXPECT_EQ(testing::Applied(ReplaceLogicalTags, GetParam().before), GetParam().after);
  EXPECT_EQ(testing::ReferenceRows(GetParam().before, kLogicalTags), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LogicalTags,
    ::testing::Values(LineCase{"<STRONG>bold</Strong>", "<b>bold</b>"}, LineCase{"<Em>", "<i>"},
                      LineCase{"<blockquote>text</blockquote>", "<ul>text</ul>"},
                      LineCase{"<code><kbd>x</kbd></code>", "<tt><tt>x</tt></tt>"},
                      LineCase{"<address>a</address><cite>b</cite><var>c</var>",
                               "<i>a</i><i>b</i><i>c</i>"},
                      LineCase{"<samp>s</samp><strike>t</strike>", "<tt>s</tt><s>t</s>"},
                      // A tag with an attribute stays; its closing tag does not.
                      LineCase{"<em class=x>a</em>", "<em class=x>a</i>"},
                      // Tags outside the table and unfinished needles stay.
                      LineCase{"<b><i><u><small>", "<b><i><u><small>"},
                      LineCase{"x <strong", "x <strong"}, LineCase{"<<em>>", "<<i>>"},
                      LineCase{"<em><<strong>em>", "<i><<b>em>"}, LineCase{"", ""}));

}  // namespace
}  // namespace slimtag
