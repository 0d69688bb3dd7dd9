#include "page_list.h"

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

std::vector<std::string> ListPages(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.' || !MatchesPagePattern(name)) continue;
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;  // follows links to files
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return PageNameLess(a, b); });
  return names;
}

}  // namespace slimtag
