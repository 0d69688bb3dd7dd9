#pragma once

#include <string>

#include "pass_row.h"

namespace slimtag {

// Check7: the non-breaking-space entity is deleted outright, so words on both sides join.
inline constexpr PassRow kSpaceEntity = {"&nbsp;", ""};

void RemoveSpaceEntities(std::string& line);

}  // namespace slimtag
