#include "empty_lines.h"

#include "byte_scan.h"
#include "in_place_rewrite.h"

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
  const char* data = text.data();
  InPlaceRewrite rewrite(text);
  std::size_t first = 0;
  while (first + 1 < n && data[first] == '\r' && data[first + 1] == '\n') first += 2;
  rewrite.SkipTo(first);
  scan::ForEachTrigger(std::string_view(text), first, kLfBeforeCr, [&](std::size_t hit) {
    if (hit == 0 || data[hit - 1] != '\r') return hit + 1;
    const std::size_t empty = hit + 1;
    rewrite.KeepUpTo(empty);
    rewrite.SkipTo(empty + 2);
    return empty;
  });
  rewrite.Finish();
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
