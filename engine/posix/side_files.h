#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace slimtag::posix {

// Files that the run keeps beside pages for a moment: hidden, held with a lock while in use, and
// never matching the page pattern. A killed run's ones are found by their prefix.
inline constexpr std::string_view kSideFilePrefix = ".slimtag-";
// Content on its way: a new page before its rename, a backup copy, a recovery file being written.
inline constexpr std::string_view kPartSuffix = ".part";
// A complete recovery file: a page's new content, on the disk before the page is overwritten.
inline constexpr std::string_view kRecoverySuffix = ".recover";

}  // namespace slimtag::posix
