// The passes' fast forms against their plain forms, on random lines made of the tables' needles,
// pieces of them, letter-case variants, blanks and a few other characters, so that edits form new
// needles with the text on both sides.

#include <gtest/gtest.h>

#include "passes/pass_isa.h"

#include <hwy/targets.h>

#include <algorithm>
#include <cctype>
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
  Box box;
};

std::ostream& operator<<(std::ostream& out, const RowPass& pass) {
  return out << pass.name << " (" << pass.rows.size() << " rows)";
}

const PassRow kSpaceEntityRows[] = {kSpaceEntity};

class PassAgainstPlain : public ::testing::TestWithParam<RowPass> {};

TEST_P(PassAgainstPlain, SameLineOnRandomInput) {
  const RowPass& pass = GetParam();
  for (const auto& [build, passes] : SupportedScanningPasses()) {
    LineMaker maker(pass.rows, 1234);
    for (int trial = 0; trial < 20000; ++trial) {
      // Up to a few hundred bytes, so that needles cross the scans' blocks in every place.
      std::string line;
      for (int part = trial % 5; part >= 0; --part) line += maker.Line();
      std::string fast = line;
      passes->edits[RowOf(pass.box)](fast);
      ASSERT_EQ(fast, testing::ReferenceRows(line, pass.rows))
          << build << ", line \"" << line << '"';
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Passes, PassAgainstPlain,
    ::testing::Values(RowPass{"SpaceEntity", kSpaceEntityRows, Box::kSpaceEntity},
                      RowPass{"EmptyTags", kEmptyTags, Box::kEmptyTags},
                      RowPass{"LogicalTags", kLogicalTags, Box::kLogicalTags},
                      RowPass{"ColourCodes", kColourCodes, Box::kColours}),
    [](const ::testing::TestParamInfo<RowPass>& info) { return std::string(info.param.name); });

// The one sweep against the four steps run one after another, on lines made of brackets, blanks
// and a few other characters, where runs and brackets meet in every way.
TEST(TagBlanks, OneSweepAgreesWithTheStepsOnRandomLines) {
  for (const auto& [name, build] : SupportedScanningPasses()) {
    std::mt19937 random(8);
    const std::string alphabet = "<<>>    a\t";
    for (int trial = 0; trial < 20000; ++trial) {
      std::string line;
      // Up to 80 bytes, so that lines end in every place of the scans' blocks.
      const int length = static_cast<int>(random() % 80);
      for (int i = 0; i < length; ++i) line += alphabet[random() % alphabet.size()];
      std::string fast = line;
      build->edits[RowOf(Box::kTagBlanks)](fast);
      ASSERT_EQ(fast, testing::ReferenceTagBlanks(line)) << name << ", line \"" << line << '"';
    }
  }
}

// Every build of the scanning passes against the baseline, which the tests above hold to the
// plain passes: lines of every table's pieces and of editors' meta tags, up to a few hundred
// bytes, so that needles cross the blocks of every build's scans in every place.
TEST(ScanningBuilds, EveryBuildGivesTheBaselineLines) {
  const ScanningPasses& baseline = BaselineScanningPasses();
  std::vector<PassRow> rows(std::begin(kEmptyTags), std::end(kEmptyTags));
  rows.insert(rows.end(), std::begin(kLogicalTags), std::end(kLogicalTags));
  rows.push_back({"<meta name=\"GENERATOR\" content=\"x\">", ""});
  rows.push_back({"< ", "> "});
  for (const auto& [name, build] : SupportedScanningPasses()) {
    if (build == &baseline) continue;
    LineMaker maker(rows, 99);
    for (int trial = 0; trial < 20000; ++trial) {
      std::string line;
      for (int part = trial % 5; part >= 0; --part) line += maker.Line();
      ASSERT_EQ(build->survey_line(line), baseline.survey_line(line))
          << name << ", line \"" << line << '"';
      for (std::size_t row = 0; row < kLinePassCount; ++row) {
        if (kLinePasses[row].make != nullptr) continue;
        std::string wide = line, base = line;
        build->edits[row](wide);
        baseline.edits[row](base);
        ASSERT_EQ(wide, base) << name << ", box " << static_cast<int>(kLinePasses[row].box)
                              << ", line \"" << line << '"';
      }
    }
  }
}

// The program picks its builds by its own look at the processor; Highway's library, which the tests
// load, finds the same ones.
TEST(ScanningBuilds, AreTheOnesHighwayFindsTheProcessorRuns) {
  std::vector<std::string> ours, highways;
  for (const auto& build : SupportedScanningPasses()) ours.emplace_back(build.name);
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    highways.emplace_back(hwy::TargetName(target));
  }
  std::ranges::sort(ours);
  std::ranges::sort(highways);
  EXPECT_EQ(ours, highways);
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
  for (const auto& [name, build] : SupportedScanningPasses()) {
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
        ASSERT_NE(signs & sign::kByRow[row], 0u)
            << name << ", row " << row << ", line \"" << line << '"';
      }
    }
    for (std::size_t row = 0; row < kLinePassCount; ++row) {
      if (sign::kByRow[row] == 0) continue;
      EXPECT_GT(changed[row], 100u) << name << ", row " << row << ": the lines give it no work";
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
  for (const auto& [name, build] : SupportedScanningPasses()) {
    for (const auto& [line, signs] : cases) {
      EXPECT_EQ(build->survey_line(line), signs) << name << ", line \"" << line << '"';
    }
  }
}

}  // namespace
}  // namespace slimtag
