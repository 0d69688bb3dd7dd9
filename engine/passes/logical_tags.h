#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "byte_scan.h"
#include "pass_isa.h"
#include "pass_row.h"
#include "text_compare.h"

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
// "/") at the first two letters of the tag name: a tag name's first letter picks a bucket, one bit
// of a byte, and each of the two letters must be in its bucket by both halves of its byte. The
// halves of different letters of a bucket can combine, so a few other names pass too; every name
// of the table passes. The bytes are compared as small letters.
struct NameTables {
  std::uint8_t first_low[16] = {}, first_high[16] = {}, second_low[16] = {}, second_high[16] = {};
};

// The first letters of the tag names, each once, in table order; a bucket each.
inline constexpr std::size_t kMaxBuckets = 8;
struct FirstLetters {
  char letters[std::size(kLogicalTags)] = {};
  std::size_t count = 0;
  // The bucket of a letter; count when it has none. (A loop, not a string_view: the address of a
  // constant may not be compared in a constant expression where a sanitizer instruments it.)
  constexpr std::size_t BucketOf(char letter) const {
    std::size_t bucket = 0;
    while (bucket < count && letters[bucket] != letter) ++bucket;
    return bucket;
  }
};
inline constexpr std::size_t NameAt(std::string_view needle) {
  return needle[1] == '/' ? 2 : 1;
}
inline constexpr FirstLetters kFirstLetters = [] {
  FirstLetters first;
  for (const PassRow& row : kLogicalTags) {
    const char letter = AsciiLower(row.needle[NameAt(row.needle)]);
    if (first.BucketOf(letter) == first.count) first.letters[first.count++] = letter;
  }
  return first;
}();
static_assert(kFirstLetters.count <= kMaxBuckets, "more first letters of tag names than buckets");

inline constexpr NameTables kNameTables = [] {
  NameTables tables;
  for (const PassRow& row : kLogicalTags) {
    const std::size_t name = NameAt(row.needle);
    const auto first = static_cast<unsigned char>(AsciiLower(row.needle[name]));
    const auto second = static_cast<unsigned char>(AsciiLower(row.needle[name + 1]));
    const std::size_t bucket = kFirstLetters.BucketOf(static_cast<char>(first));
    const auto bit = static_cast<std::uint8_t>(1u << bucket);
    tables.first_low[first & 15] |= bit;
    tables.first_high[first >> 4] |= bit;
    tables.second_low[second & 15] |= bit;
    tables.second_high[second >> 4] |= bit;
  }
  return tables;
}();

// Letters are compared small, so a name's letters need at most offset 3 ("</" and two letters).
static_assert(scan::kLookahead >= 3);
inline constexpr auto kLogicalTagTrigger = [](const scan::Window& w) {
  const scan::Bytes closing = w.at1 == '/';
  const scan::Bytes first = w.at1.Blend(closing, w.at2).LowerAscii();
  const scan::Bytes second = w.at2.Blend(closing, w.at3).LowerAscii();
  const scan::Bytes buckets = first.LowNibbleIn(scan::Bytes::Table(kNameTables.first_low)) &
                              first.HighNibbleIn(scan::Bytes::Table(kNameTables.first_high)) &
                              second.LowNibbleIn(scan::Bytes::Table(kNameTables.second_low)) &
                              second.HighNibbleIn(scan::Bytes::Table(kNameTables.second_high));
  return (w.at0 == '<').AndNot(buckets.IsZero());
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
