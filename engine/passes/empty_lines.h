#pragma once

#include <string>

#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check3 on a text of whole lines, each ended by CR LF and holding no other CR (or, with
// lf_ends_lines, each ended by a LF, a CR LF or a CR): drops the empty ones, as the output drops
// each empty line that it is given alone.
void DropEmptyLines(std::string& text, bool lf_ends_lines);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
