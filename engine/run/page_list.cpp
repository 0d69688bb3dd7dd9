#include "page_list.h"

#include <algorithm>
#include <system_error>

#include "text/text_compare.h"

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

// The folder's pages (links to files followed) in file-list order, and where it is; with
// sub_folders also those (backup folders left out), in the same order.
FolderContents ReadPages(Platform& platform, const std::string& folder, bool follow_link,
                         bool sub_folders, std::error_code& error) {
  FolderContents contents =
      platform.ListFolder(folder, follow_link, MatchesPagePattern, sub_folders, error);
  if (error) return {};
  std::erase_if(contents.folders,
                [](const std::string& name) { return name.starts_with("~backup_"); });
  SortAsTheListShows(contents.files);
  SortAsTheListShows(contents.folders);
  return contents;
}

// The tree's own folder may be reached through a link; the folders below it never are.
void ListTree(Platform& platform, const std::string& folder, const std::string& prefix,
              std::vector<std::string>& pages, ListedFolders* folders, std::error_code& error,
              std::string& failed) {
  const FolderContents here = ReadPages(platform, folder, prefix.empty(), true, error);
  if (error) {
    failed = folder;
    return;
  }
  if (folders != nullptr) {
    (*folders)[prefix.empty() ? "" : prefix.substr(0, prefix.size() - 1)] = here.identity;
  }
  for (const std::string& name : here.files) pages.push_back(prefix + name);
  for (const std::string& sub : here.folders) {
    ListTree(platform, folder + "/" + sub, prefix + sub + "/", pages, folders, error, failed);
    if (error) return;
  }
}

}  // namespace

std::vector<std::string> ListPages(Platform& platform, const std::string& folder,
                                   std::error_code& error, ListedFolders* folders) {
  FolderContents contents = ReadPages(platform, folder, true, false, error);
  if (error) return {};
  if (folders != nullptr) (*folders)[""] = contents.identity;
  return std::move(contents.files);
}

std::vector<std::string> ListPages(Platform& platform, const std::string& folder) {
  std::error_code ignored;
  return ListPages(platform, folder, ignored);
}

std::vector<std::string> ListPagesRecursive(Platform& platform, const std::string& folder,
                                            std::error_code& error, ListedFolders* folders,
                                            std::string* failed) {
  std::vector<std::string> pages;
  std::string failed_folder;
  error.clear();
  ListTree(platform, folder, "", pages, folders, error, failed_folder);
  if (failed != nullptr) *failed = std::move(failed_folder);
  if (error) pages.clear();
  return pages;
}

}  // namespace slimtag
