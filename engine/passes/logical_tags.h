#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "byte_scan.h"
#include "pass_isa.h"
#include "pass_row.h"
#include "text/text_compare.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

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

#if defined(SLIMTAG_SCAN_LOOKUP)

namespace logical_tags {
// Where this build can look bytes up in tables of sixteen, the scan itself looks past the "<" (and
// "/") at the first two letters of the tag name, as small letters. A sum of the two picks a place
// in a table of sixteen, and the place holds the one pair of letters that a name of the table
// starts with there: every name of the table passes, and no other pair of letters.
inline constexpr std::size_t NameAt(std::string_view needle) {
  return needle[1] == '/' ? 2 : 1;
}
// Four times the first letter and the second, modulo sixteen: the sum that gives the table's
// pairs places of their own, in byte arithmetic that wraps as the scan's does.
inline constexpr std::size_t PairPlace(unsigned char first, unsigned char second) {
  return (4 * first + second) % 16;
}

struct PairTable {
  std::uint8_t first[16] = {}, second[16] = {};
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

// Letters are compared small, so a name's letters need at most offset 3 ("</" and two letters).
static_assert(scan::kLookahead >= 3);
inline constexpr auto kLogicalTagTrigger = [](const scan::Window& w) {
  const scan::Bytes closing = w.at1 == '/';
  const scan::Bytes first = w.at1.Blend(closing, w.at2).LowerAscii();
  const scan::Bytes second = w.at2.Blend(closing, w.at3).LowerAscii();
  const scan::Bytes twice = first + first;
  const scan::Bytes place = twice + twice + second;
  const scan::Bytes pair = place.LowNibbleIn(scan::Bytes::Table(kPairTable.first)).Equals(first) &
                           place.LowNibbleIn(scan::Bytes::Table(kPairTable.second)).Equals(second);
  return (w.at0 == '<') & pair;
};

}  // namespace logical_tags
using logical_tags::kLogicalTagTrigger;

#else

// Every needle opens with "<".
inline constexpr auto kLogicalTagTrigger = [](const scan::Window& w) { return w.at0 == '<'; };

#endif

// All rows in one sweep over the line.
void ReplaceLogicalTags(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
