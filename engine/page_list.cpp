#include "page_list.h"

#include <sys/stat.h>

#include <cerrno>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "text_compare.h"

namespace slimtag {

namespace {

constexpr std::string_view kExtensions[] = {".htm", ".html", ".shtml", ".shtm",
                                            ".asp", ".php",  ".php3",  ".php4"};

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
  if (name.size() <= suffix.size()) return false;  // "*.htm" needs a name before the dot
  return EqualAsciiNoCase(name.substr(name.size() - suffix.size()), suffix);
}

std::vector<Symbol> FoldedName(std::string_view name) {
  std::vector<Symbol> folded(name.size());
  const Encoding encoding = IsValidUtf8(name) ? Encoding::Utf8 : Encoding::Windows1251;
  for (std::size_t i = 0; i < name.size(); ++i) folded[i] = SymbolAt(encoding, name, i);
  return folded;
}

}  // namespace

bool MatchesPagePattern(std::string_view name) {
  return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                     [&](std::string_view ext) { return EndsWithNoCase(name, ext); });
}

bool PageNameLess(std::string_view a, std::string_view b) {
  const auto fa = FoldedName(a);
  const auto fb = FoldedName(b);
  if (fa != fb) return fa < fb;
  return a < b;
}

namespace {

// Sorts names in file-list order, folding each name once rather than at every comparison.
void SortAsTheListShows(std::vector<std::string>& names) {
  std::vector<std::pair<std::vector<Symbol>, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) keyed.emplace_back(FoldedName(name), std::move(name));
  std::sort(keyed.begin(), keyed.end());
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = std::move(keyed[i].second);
}

// The folder's entries: its pages (links to files followed), and its sub-folders when asked for
// (hidden ones, backup folders and links to folders left out), each in file-list order.
void ListFolder(const std::string& folder, std::vector<std::string>& pages,
                std::vector<std::string>* sub_folders, std::error_code& error) {
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code type_error;
    if (sub_folders != nullptr && it->is_directory(type_error) && !it->is_symlink(type_error)) {
      if (!name.starts_with("~backup_")) sub_folders->push_back(name);
      continue;
    }
    if (!MatchesPagePattern(name)) continue;
    if (!it->is_regular_file(type_error)) continue;  // follows links to files
    pages.push_back(name);
  }
  SortAsTheListShows(pages);
  if (sub_folders != nullptr) SortAsTheListShows(*sub_folders);
}

// Where the folder is, taken before it is listed: a folder swapped after this moment differs
// from it when the run opens it. The tree's own folder may be reached through a link; the
// folders below it never are.
void NoteFolder(const std::string& folder, const std::string& key, bool follow,
                ListedFolders* folders, std::error_code& error) {
  if (folders == nullptr) return;
  struct stat st {};
  if ((follow ? ::stat(folder.c_str(), &st) : ::lstat(folder.c_str(), &st)) != 0) {
    error.assign(errno, std::generic_category());
    return;
  }
  (*folders)[key] = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void ListTree(const std::string& folder, const std::string& prefix, std::vector<std::string>& pages,
              ListedFolders* folders, std::error_code& error, std::string& failed) {
  NoteFolder(folder, prefix.empty() ? "" : prefix.substr(0, prefix.size() - 1), prefix.empty(),
             folders, error);
  std::vector<std::string> here, sub_folders;
  if (!error) ListFolder(folder, here, &sub_folders, error);
  if (error) {
    failed = folder;
    return;
  }
  for (const std::string& name : here) pages.push_back(prefix + name);
  for (const std::string& sub : sub_folders) {
    ListTree(folder + "/" + sub, prefix + sub + "/", pages, folders, error, failed);
    if (error) return;
  }
}

}  // namespace

std::vector<std::string> ListPages(const std::string& folder, std::error_code& error) {
  std::vector<std::string> pages;
  error.clear();
  ListFolder(folder, pages, nullptr, error);
  if (error) pages.clear();
  return pages;
}

std::vector<std::string> ListPages(const std::string& folder) {
  std::error_code ignored;
  return ListPages(folder, ignored);
}

std::vector<std::string> ListPages(const std::string& folder, std::error_code& error,
                                   ListedFolders* folders) {
  error.clear();
  NoteFolder(folder, "", true, folders, error);
  if (error) return {};
  return ListPages(folder, error);
}

std::vector<std::string> ListPagesRecursive(const std::string& folder, std::error_code& error,
                                            ListedFolders* folders, std::string* failed) {
  std::vector<std::string> pages;
  std::string failed_folder;
  error.clear();
  ListTree(folder, "", pages, folders, error, failed_folder);
  if (failed != nullptr) *failed = std::move(failed_folder);
  if (error) pages.clear();
  return pages;
}

}  // namespace slimtag
