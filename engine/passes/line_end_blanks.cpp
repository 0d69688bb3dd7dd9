// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/line_end_blanks.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <bit>
#include <cstdint>
#include <cstring>

#include "byte_scan.h"
#include "line_end_blanks.h"
#include "tag_blanks.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

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
// The same where a LF ends a line too: the line end before a line's first blank (the LF of a
// CR LF), and the last blank of a line.
constexpr auto kBlankAfterAnyLineEnd = [](const scan::Window& w) {
  return ((w.at0 == '\n') | (w.at0 == '\r')) & (w.at1 == ' ');
};
constexpr auto kBlankBeforeAnyLineEnd = [](const scan::Window& w) {
  return (w.at0 == ' ') & ((w.at1 == '\r') | (w.at1 == '\n'));
};

// Appends lines to text, every line ended by CR LF (or, with kAsRead, by the end it has), with
// the runs of blanks edited as the boxes ask: those at the ends of a line go (Check1, Check2), and
// the others beside tag brackets shrink (Check8). Trimming and the tag blanks' steps come first and
// in this order in the run, and each decides a maximal run by what stands beside it, which trimming
// never changes for the runs it keeps: so one sweep gives every line what the three give it one
// after another.
template <bool kAsRead, bool kLeading, bool kTrailing, bool kTagBlanks>
void AppendLines(std::string_view lines, std::string& text) {
  if constexpr (kAsRead && !kLeading && !kTrailing && !kTagBlanks) {
    text.append(lines);
    return;
  }
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
    scan::Bytes hits;
    if constexpr (kAsRead) {
      if constexpr (kLeading) hits = hits | kBlankAfterAnyLineEnd(w);
      if constexpr (kTrailing) hits = hits | kBlankBeforeAnyLineEnd(w);
    } else {
      hits = kLoneCr(w);
      if constexpr (kLeading) hits = hits | kBlankAfterLineEnd(w);
      if constexpr (kTrailing) hits = hits | kBlankBeforeLineEnd(w);
    }
    if constexpr (kTagBlanks) hits = hits | kEditedRunTrigger(w);
    return hits;
  };
  const auto line_end = [](char byte) { return byte == '\r' || (kAsRead && byte == '\n'); };
  scan::ForEachTrigger(lines, in, trigger, [&](std::size_t hit) {
    if (kAsRead && line_end(data[hit])) {
      // The end of a line that blanks start the next one after.
      keep_to(hit + 1);
      in = kLeading ? blanks_from(hit + 1) : hit + 1;
      return in;
    }
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
    // The run of blanks at or after the hit, back to the text dealt with, which always ends
    // before a byte that is no blank.
    std::size_t start = data[hit] == ' ' ? hit : hit + 1;
    while (start > in && data[start - 1] == ' ') --start;
    const std::size_t end = blanks_from(start);
    const char before = start > 0 ? data[start - 1] : '\0';
    const char after = end < n ? data[end] : '\0';
    // A line starts after a CR, or after a LF that ends a line: a LF alone is a line's text
    // unless LF ends lines.
    const bool line_start =
        start == 0 || line_end(before) || (before == '\n' && start >= 2 && data[start - 2] == '\r');
    std::size_t kept = end - start;
    if ((kLeading && line_start) || (kTrailing && line_end(after))) {
      kept = 0;
    } else if constexpr (kTagBlanks) {
      kept = KeptTagBlanks(before, after, kept);
    }
    if (kept != end - start) {
      keep_to(start);
      if (kept == 1) text.push_back(' ');
      in = end;
    }
    return end;
  });
  keep_to(n);
}

}  // namespace

void CopyWholeLines(std::string_view lines, std::string& text, const BlankEdits& edits,
                    bool lf_ends_lines) {
  text.clear();
  text.reserve(lines.size());
  const auto with_tag_blanks = [&]<bool kAsRead, bool kLeading, bool kTrailing>() {
    if (edits.tag_blanks) {
      AppendLines<kAsRead, kLeading, kTrailing, true>(lines, text);
    } else {
      AppendLines<kAsRead, kLeading, kTrailing, false>(lines, text);
    }
  };
  const auto append = [&]<bool kLeading, bool kTrailing>() {
    if (lf_ends_lines) {
      with_tag_blanks.template operator()<true, kLeading, kTrailing>();
    } else {
      with_tag_blanks.template operator()<false, kLeading, kTrailing>();
    }
  };
  if (edits.leading && edits.trailing) {
    append.template operator()<true, true>();
  } else if (edits.leading) {
    append.template operator()<true, false>();
  } else if (edits.trailing) {
    append.template operator()<false, true>();
  } else {
    append.template operator()<false, false>();
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace slimtag {

// Built once: they scan nothing.
void RemoveLeadingBlanks(std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  line.erase(0, first == std::string::npos ? line.size() : first);
}

void RemoveTrailingBlanks(std::string& line) {
  const std::size_t last = line.find_last_not_of(' ');
  line.erase(last == std::string::npos ? 0 : last + 1);
}

}  // namespace slimtag
#endif
