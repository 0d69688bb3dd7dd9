#pragma once

#include <cstdint>
#include <string>

#include "byte_scan.h"
#include "pass_isa.h"
#include "pass_row.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check9: four kinds of empty element, each an opening tag directly followed by its closing tag,
// deleted row after row. A row that has finished is not run again when a later row forms its
// needle: "<p><center></center></p>" keeps "<p></p>".
inline constexpr PassRow kEmptyTags[] = {
    {"<p></p>", ""},
    {"<center></center>", ""},
    {"<left></left>", ""},
    {"<right></right>", ""},
};

// Every needle holds "></", which the line survey looks for.
inline constexpr std::string_view kEmptyTagJoin = "></";

// The first four bytes of each needle, in small letters: every occurrence starts with its row's,
// in either case. A tag's opening is far rarer in pages than "></" and a letter.
inline constexpr std::string_view kEmptyTagHeads[] = {"<p><", "<cen", "<lef", "<rig"};
#if defined(SLIMTAG_SCAN_LOOKUP)

// Here the letter after "<" picks its head by its low four bits, which differ from head to head,
// and three tables of sixteen give the bytes that the head has there: three lookups and three
// comparisons where the heads one by one take twelve.
struct EmptyTagHeadTables {
  std::uint8_t letter[16] = {}, second[16] = {}, third[16] = {};
};
inline constexpr EmptyTagHeadTables kEmptyTagHeadTables = [] {
  EmptyTagHeadTables tables;
  for (const std::string_view head : kEmptyTagHeads) {
    const std::size_t row = static_cast<unsigned char>(head[1]) & 0x0f;
    tables.letter[row] = static_cast<std::uint8_t>(head[1]);
    tables.second[row] = static_cast<std::uint8_t>(head[2]);
    tables.third[row] = static_cast<std::uint8_t>(head[3]);
  }
  return tables;
}();
constexpr bool HeadLettersDifferInTheirLowBits() {
  for (std::size_t i = 0; i < std::size(kEmptyTagHeads); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (((kEmptyTagHeads[i][1] ^ kEmptyTagHeads[j][1]) & 0x0f) == 0) return false;
    }
  }
  return true;
}
static_assert(HeadLettersDifferInTheirLowBits());
inline constexpr auto kEmptyTagTrigger = [](const scan::Window& w) {
  const scan::Bytes at1 = w.at1.LowerAscii();
  const auto head = [&at1](const std::uint8_t(&table)[16]) {
    return at1.LowNibbleIn(scan::Bytes::Table(table));
  };
  // A byte that no head has there finds zero, which no lowered byte equals.
  return (w.at0 == '<') & at1.Equals(head(kEmptyTagHeadTables.letter)) &
         w.at2.LowerAscii().Equals(head(kEmptyTagHeadTables.second)) &
         w.at3.LowerAscii().Equals(head(kEmptyTagHeadTables.third));
};

#else

inline constexpr auto kEmptyTagTrigger = [](const scan::Window& w) {
  const scan::Bytes at1 = w.at1.LowerAscii(), at2 = w.at2.LowerAscii(), at3 = w.at3.LowerAscii();
  constexpr auto& h = kEmptyTagHeads;
  return (w.at0 == '<') & (((at1 == h[0][1]) & (at2 == h[0][2]) & (at3 == h[0][3])) |
                           ((at1 == h[1][1]) & (at2 == h[1][2]) & (at3 == h[1][3])) |
                           ((at1 == h[2][1]) & (at2 == h[2][2]) & (at3 == h[2][3])) |
                           ((at1 == h[3][1]) & (at2 == h[3][2]) & (at3 == h[3][3])));
};

#endif

void RemoveEmptyTags(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
