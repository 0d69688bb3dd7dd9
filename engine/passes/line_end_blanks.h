#pragma once

#include <string>
#include <string_view>

#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check1 and Check2: blanks (code 32 only, never tabs) at the start or the end of a line.
void RemoveLeadingBlanks(std::string& line);
void RemoveTrailingBlanks(std::string& line);
// Copies lines, whole lines each ended by a CR or a CR LF, into text, each ended by CR LF and
// without the blanks at its start or its end, as ticked.
void CopyLinesWithoutEndBlanks(std::string_view lines, std::string& text, bool leading,
                               bool trailing);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
