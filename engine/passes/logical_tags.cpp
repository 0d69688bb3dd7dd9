#include "logical_tags.h"

#include <algorithm>
#include <cstring>

#include "text_compare.h"

namespace slimtag {

namespace {

// Every needle and every replacement is a whole bracket span: "<", then no bracket, then ">".
// An occurrence of a needle is therefore a span from a "<" to the next ">" with no "<" between,
// two occurrences never overlap, and no replacement forms a needle with the text beside it. So
// replacing every such span that equals a needle, in one sweep, gives the line of the rows applied
// one after another.
constexpr bool IsBracketSpan(std::string_view text) {
  if (text.size() < 2 || text.front() != '<' || text.back() != '>') return false;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '<' || text[i] == '>') return false;
  }
  return true;
}

constexpr bool AllRowsAreBracketSpans() {
  for (const PassRow& row : kLogicalTags) {
    if (!IsBracketSpan(row.needle) || !IsBracketSpan(row.replacement)) return false;
  }
  return true;
}
static_assert(AllRowsAreBracketSpans());

constexpr std::size_t LongestNeedle() {
  std::size_t longest = 0;
  for (const PassRow& row : kLogicalTags) longest = std::max(longest, row.needle.size());
  return longest;
}

// The row whose needle equals span, letter case ignored; nullptr when there is none.
const PassRow* FindRow(std::string_view span) {
  for (const PassRow& row : kLogicalTags) {
    if (EqualAsciiNoCase(span, row.needle)) return &row;
  }
  return nullptr;
}

}  // namespace

void ReplaceLogicalTags(std::string& line) {
  const std::size_t n = line.size();
  const char* data = line.data();
  std::string out;
  std::size_t done = 0;  // line[0, done) has been dealt with
  std::size_t pos = 0;
  while (pos < n) {
    const void* hit = std::memchr(data + pos, '<', n - pos);
    if (hit == nullptr) break;
    const auto open = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    // The span's ">" is no further than the longest needle allows.
    std::size_t close = open + 1;
    const std::size_t limit = std::min(n, open + LongestNeedle());
    while (close < limit && data[close] != '<' && data[close] != '>') ++close;
    if (close == limit || data[close] == '<') {
      pos = close;
      continue;
    }
    const PassRow* row = FindRow(std::string_view(data + open, close + 1 - open));
    if (row != nullptr) {
      if (out.empty()) out.reserve(n);
      out.append(data + done, open - done);
      out.append(row->replacement);
      done = close + 1;
    }
    pos = close + 1;
  }
  if (done == 0) return;
  out.append(data + done, n - done);
  line.swap(out);
}

}  // namespace slimtag
