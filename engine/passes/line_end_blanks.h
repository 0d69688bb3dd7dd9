#pragma once

#include <string>
#include <string_view>

#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check1 and Check2: blanks (code 32 only, never tabs) at the start or the end of a line.
void RemoveLeadingBlanks(std::string& line);
void RemoveTrailingBlanks(std::string& line);
// Copies lines, whole lines each ended by CR LF but the last, which may end with a CR alone, into
// text without the blanks at the start or the end of each line, as ticked; in text the last line
// too ends with CR LF.
void CopyLinesWithoutEndBlanks(std::string_view lines, std::string& text, bool leading,
                               bool trailing);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
