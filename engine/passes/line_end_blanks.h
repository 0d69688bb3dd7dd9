#pragma once

#include <string>

namespace slimtag {

// Check1 and Check2: blanks (code 32 only, never tabs) at the start or the end of a line.
void RemoveLeadingBlanks(std::string& line);
void RemoveTrailingBlanks(std::string& line);

}  // namespace slimtag
