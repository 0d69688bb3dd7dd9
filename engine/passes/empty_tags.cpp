// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/empty_tags.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <array>
#include <cstdint>
#include <vector>

#include "empty_tags.h"
#include "present_rows.h"
#include "text/text_compare.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

namespace {

// Every needle is an opening tag, "</" and the closing tag, so it holds "></" (the survey's
// sign).
constexpr bool EveryNeedleHoldsTheJoin() {
  for (const PassRow& row : kEmptyTags) {
    if (row.needle.find(kEmptyTagJoin) == std::string_view::npos) return false;
  }
  return true;
}
static_assert(EveryNeedleHoldsTheJoin());
static_assert(std::size(kEmptyTags) <= 64, "the rows present in a line are kept as a RowSet");

// The trigger's heads are the needles' first four bytes, row by row; each byte after the "<" has
// the bit that LowerAscii sets, so the trigger holds for either case of a letter and for the byte
// itself. The letter after "<" names the row.
constexpr bool HeadsAreTheNeedlesOpenings() {
  if (std::size(kEmptyTagHeads) != std::size(kEmptyTags)) return false;
  for (std::size_t row = 0; row < std::size(kEmptyTags); ++row) {
    const std::string_view needle = kEmptyTags[row].needle, head = kEmptyTagHeads[row];
    if (needle.size() < head.size() || head.size() != scan::kLookahead + 1) return false;
    if (head[0] != '<' || needle[0] != '<') return false;
    for (std::size_t i = 1; i < head.size(); ++i) {
      if (head[i] != AsciiLower(needle[i]) || (head[i] | 0x20) != head[i]) return false;
    }
    for (std::size_t other = 0; other < row; ++other) {
      if (kEmptyTagHeads[other][1] == head[1]) return false;
    }
  }
  return true;
}
static_assert(HeadsAreTheNeedlesOpenings());

struct EmptyTagPatterns {
  std::vector<Pattern> rows;
  std::array<std::int8_t, 256> row_of_letter{};  // row + 1 by the letter after "<"; 0 for none
  EmptyTagPatterns() {
    for (const PassRow& row : kEmptyTags) {
      rows.emplace_back(row.needle, Encoding::Utf8);
      for (const char form : {AsciiLower(row.needle[1]), AsciiUpper(row.needle[1])}) {
        row_of_letter[static_cast<unsigned char>(form)] = static_cast<std::int8_t>(rows.size());
      }
    }
  }

  // The rows from first on whose needle stands in the line, as a set: each occurrence opens with
  // its row's head, and those are rare enough to look for one by one.
  RowSet RowsPresent(std::string_view line, std::size_t first) const {
    RowSet present = 0;
    scan::ForEachTrigger(line, 0, kEmptyTagTrigger, [&](std::size_t k) {
      const int row = row_of_letter[static_cast<unsigned char>(line[k + 1])] - 1;
      if (row >= static_cast<int>(first)) {
        const auto r = static_cast<std::size_t>(row);
        if (rows[r].MatchesAt(line, k)) present |= RowSet{1} << r;
      }
      return k + 1;
    });
    return present;
  }
};

const EmptyTagPatterns& Patterns() {
  static const EmptyTagPatterns patterns;
  return patterns;
}

}  // namespace

void RemoveEmptyTags(std::string& line) {
  const EmptyTagPatterns& patterns = Patterns();
  ApplyPresentRows(line, patterns.rows, kEmptyTags,
                   [&patterns](std::string_view text, std::size_t first) {
                     return patterns.RowsPresent(text, first);
                   });
}

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();
