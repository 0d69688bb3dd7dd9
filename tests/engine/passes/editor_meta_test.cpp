#include "passes/editor_meta.h"

#include <gtest/gtest.h>

#include "pass_cases.h"

namespace slimtag {
namespace {

using testing::LineCase;

class EditorMeta : public ::testing::TestWithParam<LineCase> {};

TEST_P(EditorMeta, RemovesEditorTagsAndKeepsTheRestOfTheLine) {
  EXPECT_EQ(testing::Applied(RemoveEditorMetaTags, GetParam().before), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Removed, EditorMeta,
    ::testing::Values(
        LineCase{R"(<meta name="GENERATOR" content="Microsoft FrontPage 4.0">)", ""},
        LineCase{R"(<meta name="ProgId" content="FrontPage.Editor.Document">)", ""},
        LineCase{R"(<meta name=Generator content="Microsoft Word 15">)", ""},
        LineCase{R"(<head><meta name='originator' content='x'><title>T</title>)",
                 "<head><title>T</title>"},
        LineCase{R"(<META CONTENT="Acme" NAME="Publisher"/>x)", "x"},
        LineCase{R"(<meta	name = "generator"	content="a">)", ""},
        LineCase{R"(<meta name="generator" content="a" />)", ""},
        // Two tags on one line, one of them kept.
        LineCase{
            R"(<meta name="generator" content="a"><meta name="keywords" content="k"><meta name=progid>)",
            R"(<meta name="keywords" content="k">)"},
        // A bracket before a tag does not hide it.
        LineCase{R"(<<meta name=generator>)", "<"}));

INSTANTIATE_TEST_SUITE_P(
    Kept, EditorMeta,
    ::testing::Values(
        LineCase{R"(<meta name="keywords" content="generator">)",
                 R"(<meta name="keywords" content="generator">)"},
        LineCase{R"(<meta http-equiv="Content-Type" content="text/html">)",
                 R"(<meta http-equiv="Content-Type" content="text/html">)"},
        // Only the first name attribute counts.
        LineCase{R"(<meta name="author" name="generator">)",
                 R"(<meta name="author" name="generator">)"},
        LineCase{R"(<meta name="generators">)", R"(<meta name="generators">)"},
        LineCase{R"(<metadata name="generator">)", R"(<metadata name="generator">)"},
        // Split over two lines: each piece stays.
        LineCase{R"(<meta name="GENERATOR")", R"(<meta name="GENERATOR")"},
        LineCase{R"(content="Microsoft FrontPage 4.0">)", R"(content="Microsoft FrontPage 4.0">)"},
        // A quote that does not close within the brackets: the tag may go on past the ">".
        LineCase{R"(<meta name=generator content="a>b">x)",
                 R"(<meta name=generator content="a>b">x)"},
        LineCase{R"(<meta name="generator>)", R"(<meta name="generator>)"},
        LineCase{R"(<meta name=generator <b>)", R"(<meta name=generator <b>)"}, LineCase{"", ""}));

}  // namespace
}  // namespace slimtag
