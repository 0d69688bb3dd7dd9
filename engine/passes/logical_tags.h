#ifndef SLIMTAG_PASSES_LOGICAL_TAGS_H_
#define SLIMTAG_PASSES_LOGICAL_TAGS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pass_row.h"
#include "text/text_compare.h"

namespace slimtag {

// Check10: the bare tags of ten logical elements become shorter plain tags, inserted in small
// letters whatever the case of the needle.
inline constexpr PassRow kLogicalTags[] = {
    {"<address>", "<i>"},       {"</address>", "</i>"}, {"<strong>", "<b>"},
    {"</strong>", "</b>"},      {"<em>", "<i>"},        {"</em>", "</i>"},
    {"<strike>", "<s>"},        {"</strike>", "</s>"},  {"<BLOCKQUOTE>", "<ul>"},
    {"</BLOCKQUOTE>", "</ul>"}, {"<CITE>", "<i>"},      {"</CITE>", "</i>"},
    {"<CODE>", "<tt>"},         {"</CODE>", "</tt>"},   {"<KBD>", "<tt>"},
    {"</KBD>", "</tt>"},        {"<SAMP>", "<tt>"},     {"</SAMP>", "</tt>"},
    {"<VAR>", "<i>"},           {"</VAR>", "</i>"},
};

namespace logical_tags {
// The scan itself looks past the "<" (and "/") at the first two letters of the tag name, as small
// letters. A sum of the two picks a place in a table of sixteen, and the place holds the one pair
// of letters that a name of the table starts with there: every name of the table passes, and no
// other pair of letters.
inline constexpr std::size_t NameAt(std::string_view needle) {
  return needle[1] == '/' ? 2 : 1;
}
// Four times the first letter and the second, modulo sixteen: the sum that gives the table's
// pairs places of their own, in byte arithmetic that wraps as the scan's does.
inline constexpr std::size_t PairPlace(unsigned char first, unsigned char second) {
  return (4 * first + second) % 16;
}

struct PairTable {
  alignas(16) std::uint8_t first[16] = {};
  alignas(16) std::uint8_t second[16] = {};
  bool each_pair_its_place = true;
};
inline constexpr PairTable kPairTable = [] {
  PairTable table;
  for (const PassRow& row : kLogicalTags) {
    const std::size_t name = NameAt(row.needle);
    const auto first = static_cast<unsigned char>(AsciiLower(row.needle[name]));
    const auto second = static_cast<unsigned char>(AsciiLower(row.needle[name + 1]));
    const std::size_t place = PairPlace(first, second);
    if (table.first[place] != 0 && (table.first[place] != first || table.second[place] != second)) {
      table.each_pair_its_place = false;
    }
    table.first[place] = first;
    table.second[place] = second;
  }
  return table;
}();
// An empty place holds zero bytes, which no letter or'ed with 0x20 equals.
static_assert(kPairTable.each_pair_its_place,
              "two pairs of first letters share a place: PairPlace needs other factors");

}  // namespace logical_tags

// All rows in one sweep over the line, by the best build that the processor runs.
void ReplaceLogicalTags(std::string& line);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_LOGICAL_TAGS_H_

// The trigger and the pass of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_LOGICAL_TAGS_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_LOGICAL_TAGS_TARGET_
#undef SLIMTAG_PASSES_LOGICAL_TAGS_TARGET_
#else
#define SLIMTAG_PASSES_LOGICAL_TAGS_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

// Letters are compared small, so a name's letters need at most offset 3 ("</" and two letters).
static_assert(scan::kLookahead >= 3);
inline constexpr auto kLogicalTagTrigger = [](const scan::Window& w) {
  const scan::Bytes closing = w.at1 == '/';
  const scan::Bytes first = w.at1.Blend(closing, w.at2).LowerAscii();
  const scan::Bytes second = w.at2.Blend(closing, w.at3).LowerAscii();
  const scan::Bytes twice = first + first;
  const scan::Bytes place = twice + twice + second;
  const scan::Bytes pair =
      place.LowNibbleIn(scan::Bytes::Table(logical_tags::kPairTable.first)).Equals(first) &
      place.LowNibbleIn(scan::Bytes::Table(logical_tags::kPairTable.second)).Equals(second);
  return (w.at0 == '<') & pair;
};

void ReplaceLogicalTags(std::string& line);

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_LOGICAL_TAGS_TARGET_
