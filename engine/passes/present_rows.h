#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "pass_row.h"
#include "text/replace_all.h"

namespace slimtag {

// A set of table rows, row n as bit n.
using RowSet = std::uint64_t;

inline constexpr RowSet RowsFrom(std::size_t first) {
  return first < 64 ? ~RowSet{0} << first : 0;
}

// The rows of a table one after another, each through ReplaceAll on the line the rows before it
// left. A row whose needle is not in the line would leave it as it is, so only the rows present
// run; rows_present(line, first) gives those from row first on. It is asked again after each row
// that ran, since an edit can form a later row's needle.
template <class RowsPresent>
void ApplyPresentRows(std::string& line, std::span<const Pattern> patterns,
                      std::span<const PassRow> rows, const RowsPresent& rows_present) {
  RowSet present = rows_present(std::string_view(line), 0);
  for (std::size_t row = 0; row < rows.size() && present != 0; ++row) {
    if ((present >> row & 1) == 0) continue;
    ReplaceAll(line, patterns[row], rows[row].replacement);
    present = rows_present(std::string_view(line), row + 1);
  }
}

}  // namespace slimtag
