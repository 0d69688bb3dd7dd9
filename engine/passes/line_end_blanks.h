#pragma once

#include <string>

#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check1 and Check2: blanks (code 32 only, never tabs) at the start or the end of a line.
void RemoveLeadingBlanks(std::string& line);
void RemoveTrailingBlanks(std::string& line);
// Both, as ticked, on each line of a text of whole lines, each ended by CR LF and holding no
// other CR.
void RemoveLineEndBlanks(std::string& text, bool leading, bool trailing);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
