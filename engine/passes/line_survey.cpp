#include "line_survey.h"

#include "byte_scan.h"
#include "colour_codes.h"
#include "editor_meta.h"
#include "empty_tags.h"
#include "logical_tags.h"
#include "space_entity.h"
#include "tag_blanks.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

namespace {

// The survey looks for each pass's own trigger, so that a pass runs only on a line where it has
// something to look at; the blanks at the ends are the first and last bytes.
constexpr auto kAmpersand = [](const scan::Window& w) { return w.at0 == kSpaceEntity.needle[0]; };
constexpr auto kHash = [](const scan::Window& w) { return w.at0 == kColourCodes[0].needle[0]; };

}  // namespace

std::uint32_t SurveyLine(std::string_view line) {
  // In the order of the signs' bits from sign::kEditedBlankRun on.
  static_assert(sign::kEditedBlankRun == 1u << 2 && sign::kMetaOpening == 1u << 3 &&
                sign::kAmpersand == 1u << 4 && sign::kEmptyTagHead == 1u << 5 &&
                sign::kTagName == 1u << 6 && sign::kHash == 1u << 7);
  std::uint32_t signs = scan::TriggersPresent(line, kEditedRunTrigger, kMetaTrigger, kAmpersand,
                                              kEmptyTagTrigger, kLogicalTagTrigger, kHash)
                        << 2;
  return signs | EndSigns(line);
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
