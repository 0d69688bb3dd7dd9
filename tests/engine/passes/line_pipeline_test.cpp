#include "lines/line_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <initializer_list>
#include <new>
#include <ostream>
#include <string>

#include <string_view>
#include <vector>

#include "pass_cases.h"
#include "passes/line_passes.h"
#include "passes/scanning_passes.h"

namespace slimtag {
namespace {

struct OrderCase {
  const char* what;
  std::vector<int> boxes;
  UserTexts texts;
  std::string before;
  std::string after;
};

std::ostream& operator<<(std::ostream& out, const OrderCase& c) {
  return out << c.what << ": \"" << c.before << '"';
}

RunOptions Ticked(const std::vector<int>& boxes) {
  RunOptions options;
  for (int box : boxes) options.box[box] = 1;
  return options;
}

class PipelineOrder : public ::testing::TestWithParam<OrderCase> {};

// Each case has a different line for the two passes in the other order.
TEST_P(PipelineOrder, PassesRunInTheFixedOrder) {
  const OrderCase& c = GetParam();
  const LinePipeline pipeline(Ticked(c.boxes), c.texts, Encoding::Utf8);
  std::string line = c.before;
  pipeline.Apply(line);
  EXPECT_EQ(line, c.after);
}

UserTexts Replace(const char* find, const char* replace) {
  UserTexts texts;
  texts.find[0] = find;
  texts.replace[0] = replace;
  return texts;
}

UserTexts Remove(const char* remove) {
  UserTexts texts;
  texts.remove[0] = remove;
  return texts;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineOrder,
    ::testing::Values(
        // The user's search text meets the line as the blank clean-up left it.
        OrderCase{"tag blanks before replacement", {8, 12}, Replace("<b> x", "Y"), "<b>  x", "Y"},
        OrderCase{"tag blanks before removal", {8, 13}, Remove("X"), "<b>X  y", "<b>  y"},
        OrderCase{"replacement before removal",
                  {12, 13},
                  [] {
                    UserTexts t = Replace("a", "bb");
                    t.remove[0] = "bb";
                    return t;
                  }(),
                  "xay",
                  "xy"},
        OrderCase{"removal before editor tags", {13, 4}, Remove("X"), "<meta nXame=generator>", ""},
        OrderCase{"editor tags before space entity",
                  {4, 7},
                  {},
                  "<meta name=generator&nbsp;>",
                  "<meta name=generator>"},
        OrderCase{"empty tags before logical tags", {9, 10}, {}, "<em<p></p>>", "<i>"},
        OrderCase{"logical tags before colours", {10, 11}, {}, "<em>#FF0000</em>", "<i>red</i>"},
        OrderCase{
            "line ends and tag blanks", {1, 2, 8}, {}, "   <td>   x   </td>  ", "<td> x </td>"},
        // A deletion forms what a later pass acts on, where the line held none of it before.
        OrderCase{"tag blanks form a meta tag", {8, 4}, {}, "< meta name=generator>", ""},
        OrderCase{"space entity forms a colour code", {7, 11}, {}, "#FF&nbsp;0000", "red"},
        OrderCase{
            "replacement forms a space entity", {12, 7}, Replace("x", "&nbsp;"), "axb", "ab"}),
    [](const ::testing::TestParamInfo<OrderCase>& info) {
      return testing::TestName(info.param.what);
    });

TEST(Pipeline, OnlyTheTickedValueSwitchesAPassOn) {
  RunOptions options;
  for (int box = 1; box <= 14; ++box) options.box[box] = 2;
  UserTexts texts = Replace("a", "b");
  texts.remove[0] = "c";
  const LinePipeline greyed(options, texts, Encoding::Utf8);
  EXPECT_TRUE(greyed.Empty());
  std::string line = "  a c &nbsp; <em></em> #000000  ";
  const std::string before = line;
  greyed.Apply(line);
  EXPECT_EQ(line, before);
}

// Passes that need no scan of the line (the ends, the user's texts), alone or with each other: the
// line's ends are still found.
TEST(Pipeline, PassesThatNeedNoScanStillFindTheEnds) {
  const struct {
    std::vector<int> boxes;
    UserTexts texts;
    std::string before, after;
  } cases[] = {
      {{1}, {}, "   <td> x </td>  ", "<td> x </td>  "},
      {{2}, {}, "   <td> x </td>  ", "   <td> x </td>"},
      {{1, 2}, {}, " a ", "a"},
      {{1, 2}, {}, " ", ""},
      {{1, 2, 13}, Remove("x"), " x<p> x ", "<p> "},
      {{2, 12}, Replace("a", "a "), "a", "a "},
  };
  for (const auto& c : cases) {
    const LinePipeline pipeline(Ticked(c.boxes), c.texts, Encoding::Utf8);
    std::string line = c.before;
    pipeline.Apply(line);
    EXPECT_EQ(line, c.after) << '"' << c.before << '"';
  }
}

// The fastest build with the logical tags' pass failing as memory running out would, on a text
// holding "FAIL".
void FailOnMark(std::string& text) {
  if (text.find("FAIL") != std::string::npos) throw std::bad_alloc();
  FastestScanningPasses().edits[RowOf(Box::kLogicalTags)](text);
}
const ScanningPasses& FailingBuild() {
  static const auto edits = [] {
    std::array<void (*)(std::string&), kLinePassCount> e{};
    std::copy(FastestScanningPasses().edits.begin(), FastestScanningPasses().edits.end(),
              e.begin());
    e[RowOf(Box::kLogicalTags)] = &FailOnMark;
    return e;
  }();
  static const ScanningPasses build = {edits, edits, FastestScanningPasses().survey_line,
                                       FastestScanningPasses().copy_whole_lines,
                                       FastestScanningPasses().drop_empty_lines};
  return build;
}

// A pass that fails in any piece of a shared text, the run's thread's or a helper's, fails the
// whole text and nothing of it is written; without a failure the shared lines are those of one
// thread.
TEST(Pipeline, AFailureInAnyPieceOfASharedTextReachesTheCaller) {
  std::string lines;
  // Enough for four pieces a thread on four threads.
  for (int i = 0; i < 5000; ++i) lines += "<p>line " + std::to_string(i) + "</p>\r\n";
  LinePipeline alone(Ticked({10}), {}, Encoding::Utf8, FailingBuild());
  alone.ShareFrom(0, 1);
  std::string held, expected;
  alone.ApplyToLines(lines, held, false, false,
                     [&expected](std::string_view piece) { expected += piece; });
  for (const unsigned threads : {2u, 3u, 4u}) {
    for (const std::size_t mark :
         {std::string::npos, std::size_t{0}, lines.size() / 2, lines.size() - 3}) {
      std::string page = lines;
      if (mark != std::string::npos) page.replace(mark, 1, "FAIL");
      LinePipeline shared(Ticked({10}), {}, Encoding::Utf8, FailingBuild());
      shared.ShareFrom(1, threads);
      std::string first, written;
      const auto apply = [&] {
        shared.ApplyToLines(page, first, false, false,
                            [&written](std::string_view piece) { written += piece; });
      };
      if (mark == std::string::npos) {
        apply();
        EXPECT_EQ(written, expected) << threads << " threads";
      } else {
        EXPECT_THROW(apply(), std::bad_alloc) << threads << " threads, mark at " << mark;
        EXPECT_EQ(written, "") << threads << " threads, mark at " << mark;
      }
    }
  }
}

TEST(Pipeline, EveryPassTogether) {
  UserTexts texts = Replace("Word", "Слово");
  texts.remove[0] = " class=MsoNormal";
  const LinePipeline all(Ticked({1, 2, 4, 7, 8, 9, 10, 11, 12, 13}), texts, Encoding::Utf8);
  std::string line =
      R"(   <meta name=Generator content="Word"><p class=MsoNormal>&nbsp;</p><font color=#FF0000>  <strong>Word</strong></font>   )";
  all.Apply(line);
  EXPECT_EQ(line, "<font color=red> <b>Слово</b></font>");
}

}  // namespace
}  // namespace slimtag
