#include "line_survey.h"

#include "byte_scan.h"
#include "colour_codes.h"
#include "editor_meta.h"
#include "empty_tags.h"
#include "space_entity.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

namespace {

// The survey looks for each sign in a cheaper, wider form than the pass's own trigger: a line
// without the wider form holds no place where the pass's trigger holds.

// A blank beside a bracket; every run that the blank steps edit has one.
constexpr auto kBlankBesideBracket = [](const scan::Window& w) {
  const scan::Bytes bracket0 = (w.at0 == '<') | (w.at0 == '>');
  const scan::Bytes bracket1 = (w.at1 == '<') | (w.at1 == '>');
  return ((w.at1 == ' ') & bracket0) | ((w.at0 == ' ') & bracket1);
};
constexpr auto kMetaSign = kMetaTrigger;
constexpr auto kAmpersand = [](const scan::Window& w) { return w.at0 == kSpaceEntity.needle[0]; };
constexpr auto kJoin = [](const scan::Window& w) {
  return (w.at0 == kEmptyTagJoin[0]) & (w.at1 == kEmptyTagJoin[1]) & (w.at2 == kEmptyTagJoin[2]);
};
constexpr auto kOpening = [](const scan::Window& w) { return w.at0 == '<'; };
constexpr auto kHash = [](const scan::Window& w) { return w.at0 == kColourCodes[0].needle[0]; };

}  // namespace

std::uint32_t SurveyLine(std::string_view line) {
  // In the order of the signs' bits from sign::kEditedBlankRun on.
  static_assert(sign::kEditedBlankRun == 1u << 2 && sign::kMetaOpening == 1u << 3 &&
                sign::kAmpersand == 1u << 4 && sign::kEmptyTagJoin == 1u << 5 &&
                sign::kTagOpening == 1u << 6 && sign::kHash == 1u << 7);
  std::uint32_t signs = scan::TriggersPresent(line, kBlankBesideBracket, kMetaSign, kAmpersand,
                                              kJoin, kOpening, kHash)
                        << 2;
  if (!line.empty() && line.front() == ' ') signs |= sign::kBlankAtStart;
  if (!line.empty() && line.back() == ' ') signs |= sign::kBlankAtEnd;
  return signs;
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
