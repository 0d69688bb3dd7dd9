#include "empty_tags.h"

#include <cstdint>
#include <vector>

#include "present_rows.h"

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
static_assert(std::size(kEmptyTags) <= 64, "the rows present in a line are kept as a RowSet");

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
  RowSet RowsPresent(std::string_view line, std::size_t first) const {
    RowSet present = 0;
    for (std::size_t k = line.find(kJoin); k != std::string_view::npos;
         k = line.find(kJoin, k + 1)) {
      for (std::size_t row = first; row < rows.size(); ++row) {
        if (k >= join_at[row] && rows[row].MatchesAt(line, k - join_at[row])) {
          present |= RowSet{1} << row;
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

void RemoveEmptyTags(std::string& line) {
  const EmptyTagPatterns& patterns = Patterns();
  ApplyPresentRows(line, patterns.rows, kEmptyTags,
                   [&patterns](std::string_view text, std::size_t first) {
                     return patterns.RowsPresent(text, first);
                   });
}

}  // namespace slimtag
