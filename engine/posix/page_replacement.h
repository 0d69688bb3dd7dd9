#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "posix/page_file.h"

namespace slimtag::posix {

// Puts the content of content (from its first byte) in place of the page and returns the page's
// new size. The page keeps its owner, group, mode, access rules, extended attributes and hard
// links, and holds its old or its new content at every moment:
// - when the user who runs the program can give a new file the page's owner and group, and the
//   page has one name, the content is written beside it and renamed over it;
// - otherwise it is written into the page's own file, after it has been made durable in a
//   recovery file beside the page, from which a later run completes a rewrite that was cut short.
// temp_path names the content's file in warnings.
std::uint64_t ReplacePage(PosixPage& page, int content, const std::string& temp_path);

// Completes the rewrites that killed runs left half done in folder, then removes the side files
// of killed runs that no live process holds. Returns the paths of the pages completed.
std::vector<std::string> RecoverFolder(const std::string& folder);

}  // namespace slimtag::posix
