#pragma once

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform.h"

namespace slimtag {

// The file list's pattern: "*.htm;*.html;*.shtml;*.shtm;*.asp;*.php;*.php3;*.php4".
inline constexpr std::string_view kPagePattern =
    "*.htm;*.html;*.shtml;*.shtm;*.asp;*.php;*.php3;*.php4";

// Whether a file name matches one of the pattern's extensions, letter case ignored.
bool MatchesPagePattern(std::string_view name);

// Orders names as the file list shows them: by name with letter case ignored (Latin and
// Cyrillic), names equal but for case by their bytes.
bool PageNameLess(std::string_view a, std::string_view b);

// The names of the folder's files (hidden ones, starting with ".", aside) that match the
// pattern, in file-list order, read through the platform. An unreadable folder gives no names and
// sets error. With folders, where the folder was found (its key ""), so that the run works in no
// other.
std::vector<std::string> ListPages(Platform& platform, const std::string& folder,
                                   std::error_code& error, ListedFolders* folders = nullptr);
// The same, for the window, which shows an unreadable folder as an empty one.
std::vector<std::string> ListPages(Platform& platform, const std::string& folder);

// The pages of folder and of every folder below it, as paths relative to folder: each folder's
// pages in file-list order, then its sub-folders in the same order, depth first. Hidden folders,
// backup folders ("~backup_…") and links to folders are left out.
// With folders, where each folder listed was found ("" for folder itself, "sub/deeper" below it),
// so that the run works in no other.
// With failed, the path of the folder that could not be read, where one could not.
std::vector<std::string> ListPagesRecursive(Platform& platform, const std::string& folder,
                                            std::error_code& error,
                                            ListedFolders* folders = nullptr,
                                            std::string* failed = nullptr);

}  // namespace slimtag
