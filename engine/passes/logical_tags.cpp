// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/logical_tags.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "in_place_rewrite.h"
#include "logical_tags.h"
#include "text/text_compare.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

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

// Each "<" of the line is looked at, by the two characters of the tag name after "<" or "</":
// these pick at most kGroupSize rows, and only those are compared. A character's place is its low
// five bits, the same for both cases of a letter.
constexpr std::size_t kGroupSize = 2;
constexpr std::size_t kSlots = 32;
constexpr std::size_t GroupKey(bool closing, char first, char second) {
  return ((closing ? kSlots : 0) + static_cast<unsigned char>(first) % kSlots) * kSlots +
         static_cast<unsigned char>(second) % kSlots;
}
constexpr std::size_t RowKey(std::string_view needle) {
  const bool closing = needle[1] == '/';
  const std::size_t name = closing ? 2 : 1;
  return GroupKey(closing, needle[name], needle[name + 1]);
}

// Rows + 1 by key; 0 for an empty place.
constexpr auto kGroups = [] {
  std::array<std::array<std::int8_t, kGroupSize>, 2 * kSlots * kSlots> groups{};
  for (std::size_t row = 0; row < std::size(kLogicalTags); ++row) {
    for (std::int8_t& place : groups[RowKey(kLogicalTags[row].needle)]) {
      if (place == 0) {
        place = static_cast<std::int8_t>(row + 1);
        break;
      }
    }
  }
  return groups;
}();

constexpr bool EveryRowHasItsPlace() {
  for (std::size_t row = 0; row < std::size(kLogicalTags); ++row) {
    bool placed = false;
    for (const std::int8_t place : kGroups[RowKey(kLogicalTags[row].needle)]) {
      placed = placed || place == static_cast<std::int8_t>(row + 1);
    }
    if (!placed) return false;
  }
  return true;
}
static_assert(std::size(kLogicalTags) < 128);
static_assert(EveryRowHasItsPlace(), "more than kGroupSize rows share their first letters");

constexpr bool EveryNeedleOpensWithABracket() {
  for (const PassRow& row : kLogicalTags) {
    if (row.needle[0] != '<') return false;
  }
  return true;
}
static_assert(EveryNeedleOpensWithABracket(), "the trigger looks for \"<\"");

constexpr bool EveryReplacementIsShorter() {
  for (const PassRow& row : kLogicalTags) {
    if (row.replacement.size() >= row.needle.size()) return false;
  }
  return true;
}
static_assert(EveryReplacementIsShorter(), "the line is rewritten in place");

// The rows that the "<" at open may start, by the two characters of the tag name; reads no further
// than three bytes on, clipped to the text.
// (A lambda, so that the scan's inner loop takes it in.)
constexpr auto GroupAt = [](std::string_view text,
                            std::size_t open) -> const std::array<std::int8_t, kGroupSize>& {
  const std::size_t last = text.size() - 1;
  const auto at = [&](std::size_t k) { return text[std::min(open + k, last)]; };
  const bool closing = at(1) == '/';
  return kGroups[GroupKey(closing, closing ? at(2) : at(1), closing ? at(3) : at(2))];
};

// Each needle as two words of small letters, with the bits that fold a letter's case and the bytes
// that take part: where sixteen bytes of text are at hand, a needle is compared in two steps, not
// byte by byte. A byte or'ed with 0x20 is a given small letter only when it is that letter in
// either case; the needles' other bytes ("<", "/", ">") are compared as they stand.
constexpr std::size_t kWordBytes = 8;
struct NeedleWords {
  std::uint64_t small[2] = {}, fold[2] = {}, used[2] = {};
};
static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

constexpr bool EveryNeedleFitsTwoWords() {
  for (const PassRow& row : kLogicalTags) {
    if (row.needle.size() > 2 * kWordBytes) return false;
  }
  return true;
}
static_assert(EveryNeedleFitsTwoWords());

constexpr auto kNeedleWords = [] {
  std::array<NeedleWords, std::size(kLogicalTags)> words{};
  for (std::size_t row = 0; row < std::size(kLogicalTags); ++row) {
    const std::string_view needle = kLogicalTags[row].needle;
    for (std::size_t i = 0; i < needle.size(); ++i) {
      const std::size_t shift = std::endian::native == std::endian::little
                                    ? 8 * (i % kWordBytes)
                                    : 8 * (kWordBytes - 1 - i % kWordBytes);
      const char lower = AsciiLower(needle[i]);
      const bool letter = lower >= 'a' && lower <= 'z';
      words[row].small[i / kWordBytes] |= std::uint64_t{static_cast<unsigned char>(lower)} << shift;
      words[row].fold[i / kWordBytes] |= std::uint64_t{letter ? 0x20u : 0u} << shift;
      words[row].used[i / kWordBytes] |= std::uint64_t{0xFF} << shift;
    }
  }
  return words;
}();

// Whether the needle of row starts at open, where at least two words of text follow open.
inline bool NeedleAtInWords(const char* at, std::size_t row) {
  const NeedleWords& needle = kNeedleWords[row];
  std::uint64_t text[2];
  std::memcpy(text, at, sizeof text);
  return (((text[0] | needle.fold[0]) ^ needle.small[0]) & needle.used[0]) == 0 &&
         (((text[1] | needle.fold[1]) ^ needle.small[1]) & needle.used[1]) == 0;
}

// The row whose needle starts at open, or nullptr.
const PassRow* RowAt(std::string_view text, std::size_t open) {
  const bool words = text.size() - open >= 2 * kWordBytes;
  for (const std::int8_t place : GroupAt(text, open)) {
    if (place == 0) break;
    const std::size_t row = static_cast<std::size_t>(place - 1);
    const std::string_view needle = kLogicalTags[row].needle;
    if (words ? NeedleAtInWords(text.data() + open, row)
              : EqualAsciiNoCase(text.substr(open, needle.size()), needle)) {
      return &kLogicalTags[row];
    }
  }
  return nullptr;
}

// Each needle ends with its ">" (a bracket span): 3 to 12 bytes after its "<".
constexpr std::size_t kShortestNeedle = std::ranges::min(kLogicalTags, {}, [](const PassRow& row) {
                                          return row.needle.size();
                                        }).needle.size();
constexpr std::size_t kLongestNeedle = std::ranges::max(kLogicalTags, {}, [](const PassRow& row) {
                                         return row.needle.size();
                                       }).needle.size();

// Calls visit at each "<" that may open a needle, earliest first: where the tag's name may be one
// of the table's and a ">" follows where a needle's would, which rules out the "<code class=…>" of
// a page's program listings.
template <class Visit>
void ForEachPossibleNeedle(std::string_view text, const Visit& visit) {
  const auto closes_in_reach = [text](std::size_t pos, const scan::Block& block) {
    return block.mask & scan::ByteWithin<kShortestNeedle - 1, kLongestNeedle - 1>(text, pos, '>');
  };
  scan::ForEachRefinedTrigger(text, 0, kLogicalTagTrigger, closes_in_reach, visit);
}

}  // namespace

// In place: every replacement is shorter than its needle, so the rewritten text never reaches the
// part still to be read.
void ReplaceLogicalTags(std::string& line) {
  const std::string_view text = line;
  InPlaceRewrite rewrite(line);
  ForEachPossibleNeedle(text, [&](std::size_t open) {
    const PassRow* row = RowAt(text, open);
    if (row == nullptr) return open + 1;
    rewrite.KeepUpTo(open);
    rewrite.Put(row->replacement);
    rewrite.SkipTo(open + row->needle.size());
    return rewrite.Read();
  });
  rewrite.Finish();
}

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();
