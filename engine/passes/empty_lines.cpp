// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/empty_lines.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "byte_scan.h"
#include "empty_lines.h"
#include "in_place_rewrite.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

namespace {
// The LF of a line end before a CR: an empty line follows where that LF is a line end's (a LF
// alone may end a line's text).
constexpr auto kLfBeforeCr = [](const scan::Window& w) {
  return (w.at0 == '\n') & (w.at1 == '\r');
};

// Where a LF ends lines too: a line end's last byte before another line end's first, where an
// empty line follows (a CR then a LF is one CR LF).
constexpr auto kLineEndBeforeLineEnd = [](const scan::Window& w) {
  const scan::Bytes cr0 = w.at0 == '\r', lf1 = w.at1 == '\n';
  return ((cr0 | (w.at0 == '\n')) & (lf1 | (w.at1 == '\r'))) ^ (cr0 & lf1);
};

void DropEmptyLinesEndedAnyway(std::string& text) {
  const std::size_t n = text.size();
  const char* data = text.data();
  // The length of the line end at at, where a line end is.
  const auto end_length = [&](std::size_t at) -> std::size_t {
    if (data[at] == '\n') return 1;
    return at + 1 < n && data[at + 1] == '\n' ? 2 : 1;
  };
  InPlaceRewrite rewrite(text);
  std::size_t first = 0;
  while (first < n && (data[first] == '\r' || data[first] == '\n')) first += end_length(first);
  rewrite.SkipTo(first);
  scan::ForEachTrigger(std::string_view(text), first, kLineEndBeforeLineEnd, [&](std::size_t hit) {
    const std::size_t empty = hit + 1;
    rewrite.KeepUpTo(empty);
    rewrite.SkipTo(empty + end_length(empty));
    return empty;
  });
  rewrite.Finish();
}

}  // namespace

void DropEmptyLines(std::string& text, bool lf_ends_lines) {
  if (lf_ends_lines) {
    DropEmptyLinesEndedAnyway(text);
    return;
  }
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

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();
