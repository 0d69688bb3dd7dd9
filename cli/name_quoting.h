#pragma once

#include <string>
#include <string_view>

namespace slimtag {

// A file name as people read it on a terminal. A name with no control character and valid UTF-8
// is shown as it is; any other is quoted the way GNU ls quotes it ('a'$'\033''b.html'), so that
// escape sequences in names never reach the terminal, a newline cannot forge a line of output,
// and the text can be pasted back into a shell.
std::string QuotedForTerminal(std::string_view name);

}  // namespace slimtag
