#include "empty_tags.h"

#include <array>
#include <cstdint>
#include <vector>

#include "present_rows.h"
#include "text_compare.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

namespace {

// Every needle is an opening tag, "</" and the closing tag, so it holds "></" exactly once.
constexpr std::string_view kJoin = kEmptyTagJoin;

constexpr bool EveryNeedleHoldsTheJoinOnce() {
  for (const PassRow& row : kEmptyTags) {
    const std::size_t at = row.needle.find(kJoin);
    if (at == std::string_view::npos || row.needle.find(kJoin, at + 1) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}
static_assert(EveryNeedleHoldsTheJoinOnce());
static_assert(std::size(kEmptyTags) <= 64, "the rows present in a line are kept as a RowSet");

// The letter after "></" names the row: no two closing tags of the table start alike.
constexpr bool ClosingTagsStartApart() {
  for (std::size_t a = 0; a < std::size(kEmptyTags); ++a) {
    for (std::size_t b = a + 1; b < std::size(kEmptyTags); ++b) {
      const std::string_view x = kEmptyTags[a].needle, y = kEmptyTags[b].needle;
      if (AsciiLower(x[x.find(kJoin) + kJoin.size()]) ==
          AsciiLower(y[y.find(kJoin) + kJoin.size()])) {
        return false;
      }
    }
  }
  return true;
}
static_assert(ClosingTagsStartApart());

// The trigger looks for these letters after "></".
constexpr bool TriggerLettersAreTheClosingTags() {
  if (kClosingTagLetters.size() != std::size(kEmptyTags)) return false;
  for (std::size_t row = 0; row < std::size(kEmptyTags); ++row) {
    const std::string_view needle = kEmptyTags[row].needle;
    if (AsciiLower(needle[needle.find(kJoin) + kJoin.size()]) != kClosingTagLetters[row])
      return false;
  }
  return true;
}
static_assert(TriggerLettersAreTheClosingTags());

struct EmptyTagPatterns {
  std::vector<Pattern> rows;
  std::vector<std::size_t> join_at;              // where "></" stands in each needle
  std::array<std::int8_t, 256> row_of_letter{};  // row + 1 by the letter after "></"; 0 for none
  EmptyTagPatterns() {
    for (const PassRow& row : kEmptyTags) {
      const std::size_t at = row.needle.find(kJoin);
      const char letter = row.needle[at + kJoin.size()];
      rows.emplace_back(row.needle, Encoding::Utf8);
      join_at.push_back(at);
      for (const char form : {AsciiLower(letter), AsciiUpper(letter)}) {
        row_of_letter[static_cast<unsigned char>(form)] = static_cast<std::int8_t>(rows.size());
      }
    }
  }

  // The rows from first on whose needle stands in the line, as a set: each occurrence holds a
  // "></" followed by the letter that names its row, and those are rare enough to look for.
  RowSet RowsPresent(std::string_view line, std::size_t first) const {
    RowSet present = 0;
    scan::ForEachTrigger(line, 0, kEmptyTagTrigger, [&](std::size_t k) {
      const int row = row_of_letter[static_cast<unsigned char>(line[k + kJoin.size()])] - 1;
      if (row >= static_cast<int>(first)) {
        const auto r = static_cast<std::size_t>(row);
        if (k >= join_at[r] && rows[r].MatchesAt(line, k - join_at[r])) present |= RowSet{1} << r;
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

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
