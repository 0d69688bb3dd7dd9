#pragma once

#include <string>

#include "pass_isa.h"
#include "pass_row.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check7: the non-breaking-space entity is deleted outright, so words on both sides join.
inline constexpr PassRow kSpaceEntity = {"&nbsp;", ""};

void RemoveSpaceEntities(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
