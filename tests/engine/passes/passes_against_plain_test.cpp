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
#include "passes/empty_tags.h"
#include "passes/logical_tags.h"
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

// The one sweep against the four steps run one after another, on lines made of brackets, blanks
// and a few other characters, where runs and brackets meet in every way.
TEST(TagBlanks, OneSweepAgreesWithTheStepsOnRandomLines) {
  std::mt19937 random(8);
  const std::string alphabet = "<<>>    a\t";
  for (int trial = 0; trial < 20000; ++trial) {
    std::string line;
    // Up to 80 bytes, so that lines end in every place of the sixteen-byte blocks.
    const int length = static_cast<int>(random() % 80);
    for (int i = 0; i < length; ++i) line += alphabet[random() % alphabet.size()];
    std::string fast = line;
    RemoveTagBlanks(fast);
    ASSERT_EQ(fast, testing::ReferenceTagBlanks(line)) << "line \"" << line << '"';
  }
}

}  // namespace
}  // namespace slimtag
