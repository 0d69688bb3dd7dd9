#include "line_end_blanks.h"

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

// The CR LF before a line's first blank; the last blank of a line.
constexpr auto kBlankAfterLineEnd = [](const scan::Window& w) {
  return (w.at0 == '\r') & (w.at1 == '\n') & (w.at2 == ' ');
};
constexpr auto kBlankBeforeLineEnd = [](const scan::Window& w) {
  return (w.at0 == ' ') & (w.at1 == '\r');
};
constexpr auto kBlankBesideLineEnd = [](const scan::Window& w) {
  return kBlankAfterLineEnd(w) | kBlankBeforeLineEnd(w);
};

// Appends lines to text without the blanks that the trigger finds beside line ends.
template <class Trigger>
void AppendWithoutBlanks(std::string_view lines, std::string& text, bool leading,
                         const Trigger& trigger) {
  const std::size_t n = lines.size();
  const char* data = lines.data();
  std::size_t in = 0;  // lines[0, in) is dealt with
  const auto keep_to = [&](std::size_t end) { text.append(data + in, end - in); };
  const auto blanks_from = [&](std::size_t at) {
    while (at < n && data[at] == ' ') ++at;
    return at;
  };
  if (leading && n > 0 && data[0] == ' ') in = blanks_from(0);
  scan::ForEachTrigger(lines, in, trigger, [&](std::size_t hit) {
    if (data[hit] == '\r') {
      keep_to(hit + 2);
      in = blanks_from(hit + 2);
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
  text.reserve(lines.size() + 1);
  if (leading && trailing) {
    AppendWithoutBlanks(lines, text, true, kBlankBesideLineEnd);
  } else if (leading) {
    AppendWithoutBlanks(lines, text, true, kBlankAfterLineEnd);
  } else if (trailing) {
    AppendWithoutBlanks(lines, text, false, kBlankBeforeLineEnd);
  } else {
    text.append(lines);
  }
  if (!text.empty() && text.back() == '\r') text.push_back('\n');
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
