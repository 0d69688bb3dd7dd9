#ifndef SLIMTAG_PASSES_EMPTY_LINES_H_
#define SLIMTAG_PASSES_EMPTY_LINES_H_

#include <string>

namespace slimtag {

// Check3 on a text of whole lines, each ended by CR LF and holding no other CR (or, with
// lf_ends_lines, each ended by a LF, a CR LF or a CR): drops the empty ones, as the output drops
// each empty line that it is given alone. By the best build that the processor runs.
void DropEmptyLines(std::string& text, bool lf_ends_lines);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_EMPTY_LINES_H_

// The pass of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_EMPTY_LINES_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_EMPTY_LINES_TARGET_
#undef SLIMTAG_PASSES_EMPTY_LINES_TARGET_
#else
#define SLIMTAG_PASSES_EMPTY_LINES_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

void DropEmptyLines(std::string& text, bool lf_ends_lines);

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_EMPTY_LINES_TARGET_
