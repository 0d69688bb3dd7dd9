// Each pass on the lines that show its rules, and where the pass has a plain form (its rows one
// after another, or its steps), the plain form on the same lines.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "pass_cases.h"
#include "passes/colour_codes.h"
#include "passes/editor_meta.h"
#include "passes/empty_tags.h"
#include "passes/line_end_blanks.h"
#include "passes/logical_tags.h"
#include "passes/space_entity.h"
#include "passes/tag_blanks.h"
#include "reference_passes.h"

namespace slimtag {
namespace {

using testing::LineCase;

struct PassCase {
  void (*pass)(std::string&);
  std::string (*plain)(std::string);  // nullptr when the pass has no plain form
  LineCase line;
};

std::ostream& operator<<(std::ostream& out, const PassCase& c) {
  return out << c.line;
}

std::vector<PassCase> Cases(void (*pass)(std::string&), std::string (*plain)(std::string),
                            std::initializer_list<LineCase> lines) {
  std::vector<PassCase> cases;
  for (const LineCase& line : lines) cases.push_back({pass, plain, line});
  return cases;
}

const PassRow kSpaceEntityRows[] = {kSpaceEntity};
std::string PlainSpaceEntity(std::string line) {
  return testing::ReferenceRows(line, kSpaceEntityRows);
}
std::string PlainEmptyTags(std::string line) {
  return testing::ReferenceRows(line, kEmptyTags);
}
std::string PlainLogicalTags(std::string line) {
  return testing::ReferenceRows(line, kLogicalTags);
}
std::string PlainColourCodes(std::string line) {
  return testing::ReferenceRows(line, kColourCodes);
}

class PassEdgeCases : public ::testing::TestWithParam<PassCase> {};

TEST_P(PassEdgeCases, GiveTheirLine) {
  const PassCase& c = GetParam();
  EXPECT_EQ(testing::Applied(c.pass, c.line.before), c.line.after);
  if (c.plain != nullptr) {
    EXPECT_EQ(c.plain(c.line.before), c.line.after);
  }
}

INSTANTIATE_TEST_SUITE_P(
    LeadingBlanks, PassEdgeCases,
    ::testing::ValuesIn(Cases(RemoveLeadingBlanks, nullptr,
                              {LineCase{"   <p>", "<p>"},
                               // A tab stops the trimming.
                               LineCase{"\t  <p>", "\t  <p>"}, LineCase{" \t <p>", "\t <p>"},
                               LineCase{"    ", ""}, LineCase{"", ""}, LineCase{"<p>  ", "<p>  "},
                               // Only code 32 is a blank.
                               LineCase{"\xC2\xA0 x", "\xC2\xA0 x"}, LineCase{"\n x", "\n x"}})));

INSTANTIATE_TEST_SUITE_P(
    TrailingBlanks, PassEdgeCases,
    ::testing::ValuesIn(Cases(RemoveTrailingBlanks, nullptr,
                              {LineCase{"<p>   ", "<p>"},
                               // A blank and a tab at the end both stay.
                               LineCase{"<p> \t", "<p> \t"}, LineCase{"<p>\t  ", "<p>\t"},
                               LineCase{"   ", ""}, LineCase{"", ""}, LineCase{"  <p>", "  <p>"},
                               LineCase{"x \n", "x \n"}})));

INSTANTIATE_TEST_SUITE_P(
    TagBlanks, PassEdgeCases,
    ::testing::ValuesIn(
        Cases(RemoveTagBlanks, testing::ReferenceTagBlanks,
              {LineCase{"<td>   Text</td>", "<td> Text</td>"},
               // No ">" is followed by two blanks and no "<" by a blank.
               LineCase{"<b> x</b> <i>y</i>", "<b> x</b> <i>y</i>"},
               LineCase{"a  <b>c <i>", "a <b>c <i>"},
               // Comparison signs count as brackets.
               LineCase{"if (a < b)", "if (a <b)"}, LineCase{"x > 1", "x> 1"},
               LineCase{"<  b>", "<b>"}, LineCase{"<b  >", "<b>"}, LineCase{"</a >", "</a>"},
               // A run between two tags shrinks to one blank; one after "<" or before ">" goes.
               LineCase{"</td>     <td>", "</td> <td>"}, LineCase{"<   >", "<>"},
               LineCase{"<p>  </p>", "<p> </p>"}, LineCase{"x   y", "x   y"},
               // Tabs are not blanks.
               LineCase{"<td>\t  x", "<td>\t  x"}, LineCase{"  <p>", " <p>"},
               LineCase{"<p>  ", "<p> "}, LineCase{"", ""}, LineCase{"   ", "   "}})));

INSTANTIATE_TEST_SUITE_P(
    EditorMetaRemoved, PassEdgeCases,
    ::testing::ValuesIn(Cases(
        RemoveEditorMetaTags, nullptr,
        {LineCase{R"(<meta name="GENERATOR" content="Microsoft FrontPage 4.0">)", ""},
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
         LineCase{R"(<<meta name=generator>)", "<"}})));

INSTANTIATE_TEST_SUITE_P(
    EditorMetaKept, PassEdgeCases,
    ::testing::ValuesIn(Cases(
        RemoveEditorMetaTags, nullptr,
        {LineCase{R"(<meta name="keywords" content="generator">)",
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
         LineCase{R"(<meta name=generator <b>)", R"(<meta name=generator <b>)"},
         LineCase{"", ""}})));

INSTANTIATE_TEST_SUITE_P(
    SpaceEntity, PassEdgeCases,
    ::testing::ValuesIn(Cases(RemoveSpaceEntities, PlainSpaceEntity,
                              {LineCase{"<td>&nbsp;</td>", "<td></td>"},
                               LineCase{"&NBSP;&Nbsp;&nBsP;", ""},
                               // Words on both sides join.
                               LineCase{"a&nbsp;b", "ab"},
                               // A deletion that forms a new entity is followed by the next one.
                               LineCase{"&&nbsp;nbsp;", ""}, LineCase{"&&&nbsp;nbsp;nbsp;x", "x"},
                               // Without its semicolon, and the numeric forms, it stays.
                               LineCase{"&nbsp x", "&nbsp x"},
                               LineCase{"&#160;&#xA0;", "&#160;&#xA0;"}, LineCase{"", ""}})));

INSTANTIATE_TEST_SUITE_P(
    EmptyTags, PassEdgeCases,
    ::testing::ValuesIn(Cases(
        RemoveEmptyTags, PlainEmptyTags,
        {LineCase{"a<p></p>b", "ab"}, LineCase{"<P></p><Center></CENTER>", ""},
         // Row 1 leaves an empty centre pair, which row 2 deletes.
         LineCase{"<center><p></p></center>", ""},
         // Row 2 forms an empty paragraph after row 1 has finished.
         LineCase{"<P><center></center></P>", "<P></P>"}, LineCase{"<p><p></p></p>", ""},
         LineCase{"<left></left><right></right>", ""},
         // Not empty, or not in the table.
         LineCase{"<p ></p>", "<p ></p>"}, LineCase{"<p class=x></p>", "<p class=x></p>"},
         LineCase{"<p> </p>", "<p> </p>"}, LineCase{"<b></b><div></div>", "<b></b><div></div>"},
         LineCase{"<p>", "<p>"}, LineCase{"", ""}})));

INSTANTIATE_TEST_SUITE_P(
    LogicalTags, PassEdgeCases,
    ::testing::ValuesIn(Cases(
        ReplaceLogicalTags, PlainLogicalTags,
        {LineCase{"<STRONG>bold</Strong>", "<b>bold</b>"}, LineCase{"<Em>", "<i>"},
         LineCase{"<blockquote>text</blockquote>", "<ul>text</ul>"},
         LineCase{"<code><kbd>x</kbd></code>", "<tt><tt>x</tt></tt>"},
         LineCase{"<address>a</address><cite>b</cite><var>c</var>", "<i>a</i><i>b</i><i>c</i>"},
         LineCase{"<samp>s</samp><strike>t</strike>", "<tt>s</tt><s>t</s>"},
         // A tag with an attribute stays; its closing tag does not.
         LineCase{"<em class=x>a</em>", "<em class=x>a</i>"},
         // Tags outside the table and unfinished needles stay.
         LineCase{"<b><i><u><small>", "<b><i><u><small>"}, LineCase{"x <strong", "x <strong"},
         LineCase{"<<em>>", "<<i>>"}, LineCase{"<em><<strong>em>", "<i><<b>em>"},
         LineCase{"", ""}})));

INSTANTIATE_TEST_SUITE_P(
    ColourCodes, PassEdgeCases,
    ::testing::ValuesIn(Cases(
        ShortenColourCodes, PlainColourCodes,
        {LineCase{"bgcolor=#ffffff", "bgcolor=white"}, LineCase{"color:#Ff0000;", "color:red;"},
         LineCase{"#000000 #000000", "black black"}, LineCase{"#FF0000AA", "redAA"},
         // Outside the table, and names, stay.
         LineCase{"#FFF #000080 aqua", "#FFF #000080 aqua"},
         // Row 1's name completes the code of row 30.
         LineCase{"#FFFAF#00FFFF", "snowqua"}, LineCase{"#A52A2#00FFFF", "brownqua"},
         LineCase{"#FFC0C#000000", "pinklack"},
         // "coral" would complete the code of an earlier row, which has finished.
         LineCase{"#F5F5D#FF7F50", "#F5F5Dcoral"}, LineCase{"##00FFFF", "#aqua"},
         LineCase{"#00FFF", "#00FFF"}, LineCase{"", ""}})));

// Lines with about as many codes as one sweep keeps, and more, ending with a code that a name
// completes or not.
TEST(ColourCodes, LinesOfManyCodesGiveThePlainLine) {
  for (const int count : {511, 512, 513, 2000}) {
    for (const std::string_view tail : {"", "#FFFAF#00FFFF"}) {
      std::string line;
      for (int i = 0; i < count; ++i) line += i % 2 == 0 ? "#FF0000;" : "#c0c0c0 ";
      line += tail;
      EXPECT_EQ(testing::Applied(ShortenColourCodes, line), PlainColourCodes(line))
          << count << " codes, then \"" << tail << '"';
    }
  }
}

TEST(SpaceEntityAndEmptyTags, AParagraphOfOnlyASpaceEntityDisappears) {
  std::string line = "x<p>&nbsp;</p>y";
  RemoveSpaceEntities(line);
  RemoveEmptyTags(line);
  EXPECT_EQ(line, "xy");
}

}  // namespace
}  // namespace slimtag
