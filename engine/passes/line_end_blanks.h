#ifndef SLIMTAG_PASSES_LINE_END_BLANKS_H_
#define SLIMTAG_PASSES_LINE_END_BLANKS_H_

#include <string>
#include <string_view>

#include "scanning_passes.h"

namespace slimtag {

// Check1 and Check2: blanks (code 32 only, never tabs) at the start or the end of a line.
void RemoveLeadingBlanks(std::string& line);
void RemoveTrailingBlanks(std::string& line);
// Copies lines, whole lines, into text with their runs of blanks edited as Check1, Check2 and
// Check8, as ticked, edit them one after another. Each line is ended by a CR or a CR LF and
// copied with CR LF; with lf_ends_lines, by a LF, a CR LF or a CR, copied as it is. By the best
// build that the processor runs.
void CopyWholeLines(std::string_view lines, std::string& text, const BlankEdits& edits,
                    bool lf_ends_lines);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_LINE_END_BLANKS_H_

// The pass of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_LINE_END_BLANKS_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_LINE_END_BLANKS_TARGET_
#undef SLIMTAG_PASSES_LINE_END_BLANKS_TARGET_
#else
#define SLIMTAG_PASSES_LINE_END_BLANKS_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

void CopyWholeLines(std::string_view lines, std::string& text, const BlankEdits& edits,
                    bool lf_ends_lines);

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_LINE_END_BLANKS_TARGET_
