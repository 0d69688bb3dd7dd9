#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "pattern.h"
#include "text_compare.h"

namespace slimtag {

// Position (from 1) of the first occurrence of needle in text, letter case ignored; 0 when it does
// not occur. The needle is never empty.
std::size_t FindNoCase(std::string_view text, std::string_view needle, Encoding encoding);

// Replaces occurrences of the pattern in line until none is left, always at the leftmost one, so
// that occurrences which a replacement forms with the text beside it are replaced too. Returns
// whether the line changed.
//
// One left-to-right pass does it: the finished text is kept as a stack together with the matching
// automaton's state after each byte; a replacement pops the occurrence and feeds the replacement in
// again before the rest of the line, so occurrences that it forms with the text before it are
// found as they complete. Where the needle cannot continue from the stack top, the line is copied
// up to the next occurrence in one block.
//
// The repetition always ends: when the replacement holds the needle (letter case aside), or the
// repetition would grow the line by more than eight times its length plus 1 MiB, or would take more
// than 64 bytes of work per byte of the line plus 64 MiB, the result is that of one sweep instead
// (ReplaceAllOneSweep on the line as it stood).
bool ReplaceAll(std::string& line, const Pattern& pattern, std::string_view replacement);
// Convenience form that prepares the needle for this one use.
bool ReplaceAll(std::string& line, std::string_view needle, std::string_view replacement,
                Encoding encoding);

// Each occurrence in the line as it stands replaced once, earliest first, without overlaps.
bool ReplaceAllOneSweep(std::string& line, const Pattern& pattern, std::string_view replacement);

}  // namespace slimtag
