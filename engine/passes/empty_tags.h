#ifndef SLIMTAG_PASSES_EMPTY_TAGS_H_
#define SLIMTAG_PASSES_EMPTY_TAGS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "pass_row.h"

namespace slimtag {

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

// The letter after "<" picks its head by its low four bits, which differ from head to head, and
// three tables of sixteen give the bytes that the head has there: three lookups and three
// comparisons where the heads one by one take twelve.
struct EmptyTagHeadTables {
  alignas(16) std::uint8_t letter[16] = {};
  alignas(16) std::uint8_t second[16] = {};
  alignas(16) std::uint8_t third[16] = {};
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

// By the best build that the processor runs.
void RemoveEmptyTags(std::string& line);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_EMPTY_TAGS_H_

// The trigger and the pass of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_EMPTY_TAGS_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_EMPTY_TAGS_TARGET_
#undef SLIMTAG_PASSES_EMPTY_TAGS_TARGET_
#else
#define SLIMTAG_PASSES_EMPTY_TAGS_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

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

void RemoveEmptyTags(std::string& line);

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_EMPTY_TAGS_TARGET_
