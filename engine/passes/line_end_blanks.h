#pragma once

#include <string>
#include <string_view>

#include "pass_isa.h"
#include "scanning_passes.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check1 and Check2: blanks (code 32 only, never tabs) at the start or the end of a line.
void RemoveLeadingBlanks(std::string& line);
void RemoveTrailingBlanks(std::string& line);
// Copies lines, whole lines, into text with their runs of blanks edited as Check1, Check2 and
// Check8, as ticked, edit them one after another. Each line is ended by a CR or a CR LF and
// copied with CR LF; with lf_ends_lines, by a LF, a CR LF or a CR, copied as it is.
void CopyWholeLines(std::string_view lines, std::string& text, const BlankEdits& edits,
                    bool lf_ends_lines);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
