#include "empty_lines.h"

#include <cstring>

#include "byte_scan.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

namespace {
// A line end followed by an empty line.
constexpr auto kEmptyLineAfter = [](const scan::Window& w) {
  return (w.at0 == '\r') & (w.at1 == '\n') & (w.at2 == '\r') & (w.at3 == '\n');
};
}  // namespace

void DropEmptyLines(std::string& text) {
  const std::size_t n = text.size();
  char* data = text.data();
  std::size_t in = 0;   // text[0, in) is dealt with
  std::size_t out = 0;  // and its result is data[0, out)
  while (in + 1 < n && data[in] == '\r' && data[in + 1] == '\n') in += 2;
  scan::ForEachTrigger(std::string_view(text), in, kEmptyLineAfter, [&](std::size_t hit) {
    const std::size_t empty = hit + 2;
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
