#ifndef SLIMTAG_PASSES_COLOUR_CODES_H_
#define SLIMTAG_PASSES_COLOUR_CODES_H_

#include <string>

#include "pass_row.h"

namespace slimtag {

// Check11: six-digit colour codes become the shorter names of the same colours. The rows act one
// after another: a name can complete the code of a later row with the six characters before it
// ("#FFFAF#00FFFF" gives "#FFFAFaqua" after row 1 and "snowqua" after row 30).
inline constexpr PassRow kColourCodes[] = {
    {"#00FFFF", "aqua"},   {"#000000", "black"},  {"#F5F5DC", "beige"},  {"#0000FF", "blue"},
    {"#A52A2A", "brown"},  {"#FF7F50", "coral"},  {"#FFD700", "gold"},   {"#808080", "gray"},
    {"#008000", "green"},  {"#FFFFF0", "ivory"},  {"#F0E68C", "khaki"},  {"#00FF00", "lime"},
    {"#FAF0E6", "linen"},  {"#FFE4C4", "bisque"}, {"#4B0082", "indigo"}, {"#FFA500", "orange"},
    {"#DA70D6", "orchid"}, {"#800080", "purple"}, {"#FA8072", "salmon"}, {"#A0522D", "sienna"},
    {"#C0C0C0", "silver"}, {"#FF6347", "tomato"}, {"#EE82EE", "violet"}, {"#FFFF00", "yellow"},
    {"#808000", "olive"},  {"#CD853F", "peru"},   {"#FFC0CB", "pink"},   {"#DDA0DD", "plum"},
    {"#FF0000", "red"},    {"#FFFAFA", "snow"},   {"#D2B48C", "tan"},    {"#008080", "teal"},
    {"#F5DEB3", "wheat"},  {"#FFFFFF", "white"},
};

// Every row in table order, each on the line the rows before it left. Built once: it does not scan
// with byte_scan.h.
void ShortenColourCodes(std::string& line);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_COLOUR_CODES_H_

// The trigger of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_COLOUR_CODES_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_COLOUR_CODES_TARGET_
#undef SLIMTAG_PASSES_COLOUR_CODES_TARGET_
#else
#define SLIMTAG_PASSES_COLOUR_CODES_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

// The codes' "#".
inline constexpr auto kColourCodeTrigger = [](const scan::Window& w) {
  return w.at0 == kColourCodes[0].needle[0];
};

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_COLOUR_CODES_TARGET_
