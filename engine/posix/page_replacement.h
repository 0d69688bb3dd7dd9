#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "page_file.h"

namespace slimtag::posix {

// Makes to's extended attributes (the access control list among them) exactly from's; false when
// one could not be read, set or removed.
bool CopyAttributes(int from, int to);

// Writes size bytes of content (from its first byte) into the page's own file, so that its inode,
// owner, group, access rules and hard links stay. The content is first made durable in a
// recovery file beside the page, from which a later run completes a rewrite that was cut short.
// Returns the page's new size; temp_path names the content's file in warnings.
std::uint64_t ReplaceInPlace(PosixPage& page, int content, off_t size,
                             const std::string& temp_path);

// Completes the rewrites that killed runs left half done in folder (named folder_path in
// messages), then removes the side files of killed runs that no live process holds. A page that
// someone changed after the rewrite was cut short is left as it is, its new content kept in a file
// beside it.
std::vector<Recovery> RecoverFolder(int folder, const std::string& folder_path);

}  // namespace slimtag::posix
