#ifndef SLIMTAG_PASSES_SPACE_ENTITY_H_
#define SLIMTAG_PASSES_SPACE_ENTITY_H_

#include <string>

#include "pass_row.h"

namespace slimtag {

// Check7: the non-breaking-space entity is deleted outright, so words on both sides join.
inline constexpr PassRow kSpaceEntity = {"&nbsp;", ""};

// Built once: its search is ReplaceAll's, which is not built for each instruction set.
void RemoveSpaceEntities(std::string& line);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_SPACE_ENTITY_H_

// The trigger of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_SPACE_ENTITY_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_SPACE_ENTITY_TARGET_
#undef SLIMTAG_PASSES_SPACE_ENTITY_TARGET_
#else
#define SLIMTAG_PASSES_SPACE_ENTITY_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

// The entity's "&".
inline constexpr auto kSpaceEntityTrigger = [](const scan::Window& w) {
  return w.at0 == kSpaceEntity.needle[0];
};

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_SPACE_ENTITY_TARGET_
