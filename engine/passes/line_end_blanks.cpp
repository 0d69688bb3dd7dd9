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

template <class Trigger>
void RemoveBlanksBesideLineEnds(std::string& text, bool leading, const Trigger& trigger) {
  const std::size_t n = text.size();
  char* data = text.data();
  std::size_t in = 0;   // text[0, in) is dealt with
  std::size_t out = 0;  // and its result is data[0, out)
  const auto drop = [&](std::size_t start, std::size_t end) {
    if (out != in) std::memmove(data + out, data + in, start - in);
    out += start - in;
    in = end;
  };
  const auto blanks_from = [&](std::size_t at) {
    while (at < n && data[at] == ' ') ++at;
    return at;
  };
  std::size_t from = 0;
  if (leading && n > 0 && data[0] == ' ') {
    from = blanks_from(0);
    drop(0, from);
  }
  scan::ForEachTrigger(std::string_view(text), from, trigger, [&](std::size_t hit) {
    if (data[hit] == '\r') {
      const std::size_t end = blanks_from(hit + 2);
      drop(hit + 2, end);
      return end;
    }
    // Back to the start of the line, which is never before the text dealt with.
    std::size_t start = hit;
    while (start > in && data[start - 1] == ' ') --start;
    drop(start, hit + 1);
    return hit + 1;
  });
  if (in == 0) return;
  std::memmove(data + out, data + in, n - in);
  text.resize(out + n - in);
}

}  // namespace

void RemoveLineEndBlanks(std::string& text, bool leading, bool trailing) {
  if (leading && trailing) {
    RemoveBlanksBesideLineEnds(text, true, kBlankBesideLineEnd);
  } else if (leading) {
    RemoveBlanksBesideLineEnds(text, true, kBlankAfterLineEnd);
  } else if (trailing) {
    RemoveBlanksBesideLineEnds(text, false, kBlankBeforeLineEnd);
  }
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
