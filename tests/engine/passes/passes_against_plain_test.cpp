// The passes' fast forms against their plain forms, on random lines made of the tables' needles,
// pieces of them, letter-case variants, blanks and a few other characters, so that edits form new
// needles with the text on both sides.

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "passes/colour_codes.h"
#include "passes/editor_meta.h"
#include "passes/empty_tags.h"
#include "passes/line_end_blanks.h"
#include "passes/line_passes.h"
#include "passes/logical_tags.h"
#include "passes/scanning_passes.h"
#include "passes/space_entity.h"
#include "passes/tag_blanks.h"
#include "reference_passes.h"

namespace slimtag {
namespace {

class LineMaker {
 public:
  LineMaker(std::span<const PassRow> rows, unsigned seed) : random_(seed) {
    for (const PassRow& row : rows) {
      pieces_.emplace_back(row.needle);
      pieces_.emplace_back(row.replacement);
      // Heads and tails of needles, which complete each other.
      for (std::size_t cut = 1; cut < row.needle.size(); ++cut) {
        pieces_.emplace_back(row.needle.substr(0, cut));
        pieces_.emplace_back(row.needle.substr(cut));
      }
    }
    for (const char* other : {" ", "  ", "x", "<", ">", "#", "\xD0\x96", "\xD0\xB6", "&"}) {
      pieces_.emplace_back(other);
    }
  }

  std::string Line() {
    std::string line;
    const int count = static_cast<int>(random_() % 9);
    for (int i = 0; i < count; ++i) {
      std::string piece = pieces_[random_() % pieces_.size()];
      for (char& c : piece) {
        if (random_() % 3 == 0) c = static_cast<char>(Flip(c));
      }
      line += piece;
    }
    return line;
  }

 private:
  static int Flip(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) return c;
    return std::isupper(u) ? std::tolower(u) : std::toupper(u);
  }

  std::mt19937 random_;
  std::vector<std::string> pieces_;
};

struct RowPass {
  const char* name;
  std::span<const PassRow> rows;
  std::function<void(std::string&)> fast;
};

std::ostream& operator<<(std::ostream& out, const RowPass& pass) {
  return out << pass.name << " (" << pass.rows.size() << " rows)";
}

const PassRow kSpaceEntityRows[] = {kSpaceEntity};

class PassAgainstPlain : public ::testing::TestWithParam<RowPass> {};

TEST_P(PassAgainstPlain, SameLineOnRandomInput) {
  const RowPass& pass = GetParam();
  LineMaker maker(pass.rows, 1234);
  for (int trial = 0; trial < 20000; ++trial) {
    const std::string line = maker.Line();
    std::string fast = line;
    pass.fast(fast);
    ASSERT_EQ(fast, testing::ReferenceRows(line, pass.rows)) << "line \"" << line << '"';
  }
}

INSTANTIATE_TEST_SUITE_P(
    Passes, PassAgainstPlain,
    ::testing::Values(RowPass{"SpaceEntity", kSpaceEntityRows, RemoveSpaceEntities},
                      RowPass{"EmptyTags", kEmptyTags, RemoveEmptyTags},
                      RowPass{"LogicalTags", kLogicalTags, ReplaceLogicalTags},
                      RowPass{"ColourCodes", kColourCodes, ShortenColourCodes}),
    [](const ::testing::TestParamInfo<RowPass>& info) { return std::string(info.param.name); });

// Every build of the scanning passes that this processor runs (the AVX2 one where it can).
std::vector<const ScanningPasses*> Builds() {
  std::vector<const ScanningPasses*> builds = {&BaselineScanningPasses()};
  if (const ScanningPasses* avx2 = Avx2ScanningPasses()) builds.push_back(avx2);
  return builds;
}

// The one sweep against the four steps run one after another, on lines made of brackets, blanks
// and a few other characters, where runs and brackets meet in every way.
TEST(TagBlanks, OneSweepAgreesWithTheStepsOnRandomLines) {
  for (const ScanningPasses* build : Builds()) {
    std::mt19937 random(8);
    const std::string alphabet = "<<>>    a\t";
    for (int trial = 0; trial < 20000; ++trial) {
      std::string line;
      // Up to 80 bytes, so that lines end in every place of the scans' blocks.
      const int length = static_cast<int>(random() % 80);
      for (int i = 0; i < length; ++i) line += alphabet[random() % alphabet.size()];
      std::string fast = line;
      build->edits[RowOf(Box::kTagBlanks)](fast);
      ASSERT_EQ(fast, testing::ReferenceTagBlanks(line)) << "line \"" << line << '"';
    }
  }
}

// The scanning passes built for AVX2 against the build for every processor, which the tests above
// hold to the plain passes: lines of every table's pieces and of editors' meta tags, up to a few
// hundred bytes, so that needles cross the blocks of both builds' scans in every place.
TEST(ScanningBuilds, Avx2BuildGivesTheBaselineLines) {
  const ScanningPasses* avx2 = Avx2ScanningPasses();
  if (avx2 == nullptr) GTEST_SKIP() << "this processor or this build has no AVX2 passes";
  const ScanningPasses& baseline = BaselineScanningPasses();
  std::vector<PassRow> rows(std::begin(kEmptyTags), std::end(kEmptyTags));
  rows.insert(rows.end(), std::begin(kLogicalTags), std::end(kLogicalTags));
  rows.push_back({"<meta name=\"GENERATOR\" content=\"x\">", ""});
  rows.push_back({"< ", "> "});
  LineMaker maker(rows, 99);
  for (int trial = 0; trial < 20000; ++trial) {
    std::string line;
    for (int part = trial % 5; part >= 0; --part) line += maker.Line();
    // The surveys agree but on the logical tags' sign, which the AVX2 build gives only where a
    // tag's name may follow the "<" that the baseline looks for.
    const std::uint32_t wide_signs = avx2->survey_line(line);
    const std::uint32_t base_signs = baseline.survey_line(line);
    const std::uint32_t tag_name = SignOf(Box::kLogicalTags);
    ASSERT_EQ(wide_signs & ~tag_name, base_signs & ~tag_name) << "line \"" << line << '"';
    ASSERT_EQ(wide_signs & ~base_signs, 0u) << "line \"" << line << '"';
    for (std::size_t row = 0; row < kLinePassCount; ++row) {
      if (kLinePasses[row].edit == nullptr) continue;
      std::string wide = line, base = line;
      avx2->edits[row](wide);
      baseline.edits[row](base);
      ASSERT_EQ(wide, base) << "box " << static_cast<int>(kLinePasses[row].box) << ", line \""
                            << line << '"';
    }
  }
}

// The pipeline skips a pass on a line whose survey lacks the pass's sign, so in every build a pass
// may change only lines that hold its sign: on random lines of every table's pieces, each pass
// alone, up to a few hundred bytes.
TEST(LineSurvey, APassChangesOnlyLinesWithItsSign) {
  std::vector<PassRow> rows(std::begin(kEmptyTags), std::end(kEmptyTags));
  rows.insert(rows.end(), std::begin(kLogicalTags), std::end(kLogicalTags));
  rows.insert(rows.end(), std::begin(kColourCodes), std::begin(kColourCodes) + 4);
  rows.push_back(kSpaceEntity);
  rows.push_back({"<meta name=\"GENERATOR\">", ""});
  rows.push_back({"< ", "  >"});
  for (const ScanningPasses* build : Builds()) {
    LineMaker maker(rows, 7);
    std::size_t changed[kLinePassCount] = {};
    for (int trial = 0; trial < 20000; ++trial) {
      std::string line;
      for (int part = trial % 4; part >= 0; --part) line += maker.Line();
      const std::uint32_t signs = build->survey_line(line);
      for (std::size_t row = 0; row < kLinePassCount; ++row) {
        if (sign::kByRow[row] == 0) continue;
        std::string edited = line;
        build->edits[row](edited);
        if (edited == line) continue;
        ++changed[row];
        ASSERT_NE(signs & sign::kByRow[row], 0u) << "row " << row << ", line \"" << line << '"';
      }
    }
    for (std::size_t row = 0; row < kLinePassCount; ++row) {
      if (sign::kByRow[row] == 0) continue;
      EXPECT_GT(changed[row], 100u) << "row " << row << ": the lines give it no work";
    }
  }
}

// Lines whose signs are the same in every build, and a line without any.
TEST(LineSurvey, FindsTheSignsOfALine) {
  const std::pair<std::string_view, std::uint32_t> cases[] = {
      {"plain words, no markup", 0},
      {"", 0},
      {" a&b# ",
       sign::kBlankAtStart | sign::kBlankAtEnd | SignOf(Box::kSpaceEntity) | SignOf(Box::kColours)},
      {"x < y", SignOf(Box::kTagBlanks)},
      {"<P><Center>x", SignOf(Box::kEmptyTags)},
      {"<STRONG>", SignOf(Box::kLogicalTags)},
      {"a long line of text with no sign in it before <mEta at its end", SignOf(Box::kEditorMeta)},
  };
  for (const ScanningPasses* build : Builds()) {
    for (const auto& [line, signs] : cases) {
      std::uint32_t expected = signs;
      // "<" is the logical tags' sign where a build cannot look at the name.
      if (build == &BaselineScanningPasses() && line.find('<') != std::string_view::npos) {
        expected |= SignOf(Box::kLogicalTags);
      }
      EXPECT_EQ(build->survey_line(line), expected) << "line \"" << line << '"';
    }
  }
}

}  // namespace
}  // namespace slimtag
