#pragma once

#include <string>

#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check1 and Check2: blanks (code 32 only, never tabs) at the start or the end of a line.
void RemoveLeadingBlanks(std::string& line);
void RemoveTrailingBlanks(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
