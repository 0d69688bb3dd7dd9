#include "line_end_blanks.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "byte_scan.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

void RemoveLeadingBlanks(std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  line.erase(0, first == std::string::npos ? line.size() : first);
}

void RemoveTrailingBlanks(std::string& line) {
  const std::size_t last = line.find_last_not_of(' ');
  line.erase(last == std::string::npos ? 0 : last + 1);
}

namespace {

// A CR that no LF follows ends a line too; it is written with its LF.
constexpr auto kLoneCr = [](const scan::Window& w) {
  const scan::Bytes cr = w.at0 == '\r';
  return cr ^ (cr & (w.at1 == '\n'));
};
// The CR LF before a line's first blank (after a CR alone, kLoneCr has it); the last blank of a
// line.
constexpr auto kBlankAfterLineEnd = [](const scan::Window& w) {
  return (w.at0 == '\r') & (w.at1 == '\n') & (w.at2 == ' ');
};
constexpr auto kBlankBeforeLineEnd = [](const scan::Window& w) {
  return (w.at0 == ' ') & (w.at1 == '\r');
};

// Appends lines to text, every line ended by CR LF, without the blanks at the ends of its lines
// as ticked.
template <bool kLeading, bool kTrailing>
void AppendLines(std::string_view lines, std::string& text) {
  const std::size_t n = lines.size();
  const char* data = lines.data();
  std::size_t in = 0;  // lines[0, in) is dealt with
  const auto keep_to = [&](std::size_t end) { text.append(data + in, end - in); };
  // Past the blanks from at: a window at a time, as indents run long.
  const auto blanks_from = [&](std::size_t at) {
    constexpr auto kAll = static_cast<std::uint32_t>((std::uint64_t{1} << scan::kWidth) - 1);
    for (; at + scan::kWidth <= n; at += scan::kWidth) {
      const std::uint32_t others = ~(scan::Bytes::Load(data + at) == ' ').Mask() & kAll;
      if (others != 0) return at + static_cast<std::size_t>(std::countr_zero(others));
    }
    while (at < n && data[at] == ' ') ++at;
    return at;
  };
  if (kLeading && n > 0 && data[0] == ' ') in = blanks_from(0);
  const auto trigger = [](const scan::Window& w) {
    scan::Bytes hits = kLoneCr(w);
    if constexpr (kLeading) hits = hits | kBlankAfterLineEnd(w);
    if constexpr (kTrailing) hits = hits | kBlankBeforeLineEnd(w);
    return hits;
  };
  scan::ForEachTrigger(lines, in, trigger, [&](std::size_t hit) {
    if (data[hit] == '\r') {
      std::size_t next = hit + 1;
      if (next < n && data[next] == '\n') {
        keep_to(++next);
      } else {
        keep_to(next);
        text.push_back('\n');
      }
      in = kLeading ? blanks_from(next) : next;
      return in;
    }
    // Back to the start of the line, which is never before the text dealt with.
    std::size_t start = hit;
    while (start > in && data[start - 1] == ' ') --start;
    keep_to(start);
    in = hit + 1;
    return in;
  });
  keep_to(n);
}

}  // namespace

void CopyLinesWithoutEndBlanks(std::string_view lines, std::string& text, bool leading,
                               bool trailing) {
  text.clear();
  text.reserve(lines.size());
  if (leading && trailing) {
    AppendLines<true, true>(lines, text);
  } else if (leading) {
    AppendLines<true, false>(lines, text);
  } else if (trailing) {
    AppendLines<false, true>(lines, text);
  } else {
    AppendLines<false, false>(lines, text);
  }
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
