#pragma once

#include <string>

#include "byte_scan.h"
#include "pass_isa.h"
#include "pass_row.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check7: the non-breaking-space entity is deleted outright, so words on both sides join.
inline constexpr PassRow kSpaceEntity = {"&nbsp;", ""};

// The entity's "&".
inline constexpr auto kSpaceEntityTrigger = [](const scan::Window& w) {
  return w.at0 == kSpaceEntity.needle[0];
};

}  // namespace SLIMTAG_PASS_ISA

// Built once: its search is ReplaceAll's, which is not built for each instruction set.
void RemoveSpaceEntities(std::string& line);

}  // namespace slimtag
