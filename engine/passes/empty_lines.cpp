#include "empty_lines.h"

#include <cstring>

#include "byte_scan.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

namespace {
// The LF of a line end before a CR: an empty line follows where that LF is a line end's (a LF
// alone may end a line's text).
constexpr auto kLfBeforeCr = [](const scan::Window& w) {
  return (w.at0 == '\n') & (w.at1 == '\r');
};
}  // namespace

void DropEmptyLines(std::string& text) {
  const std::size_t n = text.size();
  char* data = text.data();
  std::size_t in = 0;   // text[0, in) is dealt with
  std::size_t out = 0;  // and its result is data[0, out)
  while (in + 1 < n && data[in] == '\r' && data[in + 1] == '\n') in += 2;
  scan::ForEachTrigger(std::string_view(text), in, kLfBeforeCr, [&](std::size_t hit) {
    if (hit == 0 || data[hit - 1] != '\r') return hit + 1;
    const std::size_t empty = hit + 1;
    if (out != in) std::memmove(data + out, data + in, empty - in);
    out += empty - in;
    in = empty + 2;
    return empty;
  });
  if (in == 0) return;
  std::memmove(data + out, data + in, n - in);
  text.resize(out + n - in);
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
