#pragma once

#include <string>

#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check3 on a text of whole lines, each ended by CR LF and holding no other CR: drops the empty
// ones, as the output drops each empty line that it is given alone.
void DropEmptyLines(std::string& text);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
