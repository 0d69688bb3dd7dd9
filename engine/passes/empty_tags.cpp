#include "empty_tags.h"

#include <cstdint>
#include <vector>

#include "edit_buffer.h"

namespace slimtag {

namespace {

// Every needle is an opening tag, "</" and the closing tag, so it holds "></" exactly once.
constexpr std::string_view kJoin = "></";

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
static_assert(std::size(kEmptyTags) <= 32);

struct EmptyTagPatterns {
  std::vector<Pattern> rows;
  std::vector<std::size_t> join_at;  // where "></" stands in each needle
  EmptyTagPatterns() {
    for (const PassRow& row : kEmptyTags) {
      rows.emplace_back(row.needle, Encoding::Utf8);
      join_at.push_back(row.needle.find(kJoin));
    }
  }

  // The rows from first on whose needle stands in the line, as a set: each occurrence holds a
  // "></", and those are rare enough to look for directly.
  std::uint32_t RowsPresent(std::string_view line, std::size_t first) const {
    std::uint32_t present = 0;
    for (std::size_t k = line.find(kJoin); k != std::string_view::npos;
         k = line.find(kJoin, k + 1)) {
      for (std::size_t row = first; row < rows.size(); ++row) {
        if (k >= join_at[row] && rows[row].MatchesAt(line, k - join_at[row])) {
          present |= std::uint32_t{1} << row;
        }
      }
    }
    return present;
  }
};

const EmptyTagPatterns& Patterns() {
  static const EmptyTagPatterns patterns;
  return patterns;
}

}  // namespace

// The rows act one after another; a row whose needle is not in the line would leave it as it is,
// so only the rows present run. Deleting one row's pairs can form a later row's needle, so the set
// is worked out again after each row that ran.
void RemoveEmptyTags(std::string& line) {
  const EmptyTagPatterns& patterns = Patterns();
  std::uint32_t present = patterns.RowsPresent(line, 0);
  for (std::size_t row = 0; row < patterns.rows.size() && present != 0; ++row) {
    if ((present & (std::uint32_t{1} << row)) == 0) continue;
    ReplaceAll(line, patterns.rows[row], kEmptyTags[row].replacement);
    present = patterns.RowsPresent(line, row + 1);
  }
}

}  // namespace slimtag
