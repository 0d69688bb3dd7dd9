#pragma once

#include <cstdint>
#include <string_view>

#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// What a line holds that a pass acts on, one bit each. A pass can change a line only where its
// sign is: a line without it leaves the pass without anything to do.
namespace sign {
inline constexpr std::uint32_t kBlankAtStart = 1u << 0;    // Check1
inline constexpr std::uint32_t kBlankAtEnd = 1u << 1;      // Check2
inline constexpr std::uint32_t kEditedBlankRun = 1u << 2;  // Check8: "< ", " >", ">  " or "  <"
inline constexpr std::uint32_t kMetaOpening = 1u << 3;     // Check4: "<m"
inline constexpr std::uint32_t kAmpersand = 1u << 4;       // Check7: the entity's "&"
inline constexpr std::uint32_t kEmptyTagHead = 1u << 5;    // Check9: the first bytes of a needle
inline constexpr std::uint32_t kTagName = 1u << 6;  // Check10: "<", in the AVX2 build with a name
inline constexpr std::uint32_t kHash = 1u << 7;     // Check11: the code's "#"
inline constexpr std::uint32_t kEvery = (1u << 8) - 1;
// The signs that a scan of the line finds.
inline constexpr std::uint32_t kScanned = kEvery & ~(kBlankAtStart | kBlankAtEnd);
// The signs of more than one byte, which a deletion can form by joining the text on its two sides.
inline constexpr std::uint32_t kJoined = kEditedBlankRun | kMetaOpening | kEmptyTagHead | kTagName;
}  // namespace sign

// The signs that the line holds, found in one scan.
std::uint32_t SurveyLine(std::string_view line);

// The signs of the line's first and last byte alone (sign::kBlankAtStart, sign::kBlankAtEnd),
// which need no scan.
inline std::uint32_t EndSigns(std::string_view line) {
  if (line.empty()) return 0;
  return (line.front() == ' ' ? sign::kBlankAtStart : 0) |
         (line.back() == ' ' ? sign::kBlankAtEnd : 0);
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
