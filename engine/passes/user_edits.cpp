#include "user_edits.h"

#include <memory>
#include <optional>
#include <vector>

#include "text/pattern.h"
#include "text/replace_all.h"

namespace slimtag {

namespace {

struct Edit {
  Pattern needle;
  std::string replacement;
};

// Each edit is one use of ReplaceAll on the line that the edit before left.
LinePass EditListPass(std::vector<Edit> edits) {
  // Shared: a pass is copied with its pipeline, the compiled needles are not.
  return [edits = std::make_shared<const std::vector<Edit>>(std::move(edits))](std::string& line) {
    bool changed = false;
    for (const Edit& edit : *edits) changed |= ReplaceAll(line, edit.needle, edit.replacement);
    return changed;
  };
}

// A search text that the page's encoding cannot hold cannot stand in the page: the pair leaves it
// alone. Characters of a replacement that the encoding cannot hold are written as numeric
// character references. A text that is not valid UTF-8 is skipped.
void AddEdit(std::vector<Edit>& edits, const std::string& find, const std::string& replace,
             Encoding encoding) {
  if (find.empty()) return;
  const std::optional<std::string> needle = EncodeForPage(find, encoding);
  const std::optional<std::string> replacement = EncodeReplacementForPage(replace, encoding);
  if (!needle || !replacement) return;
  edits.push_back({Pattern(*needle, encoding), *replacement});
}

bool IsAscii(const std::string& text) {
  for (const unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool UserTexts::NeedsPageEncoding(const RunOptions& options) const {
  auto any_non_ascii = [](const std::array<std::string, 3>& texts) {
    for (const auto& t : texts) {
      if (!IsAscii(t)) return true;
    }
    return false;
  };
  return (options.Ticked(Box::kReplace) && (any_non_ascii(find) || any_non_ascii(replace))) ||
         (options.Ticked(Box::kRemove) && any_non_ascii(remove));
}

LinePass MakeUserReplacementPass(const UserTexts& texts, Encoding encoding) {
  std::vector<Edit> edits;
  for (std::size_t i = 0; i < texts.find.size(); ++i) {
    AddEdit(edits, texts.find[i], texts.replace[i], encoding);
  }
  return EditListPass(std::move(edits));
}

LinePass MakeUserRemovalPass(const UserTexts& texts, Encoding encoding) {
  std::vector<Edit> edits;
  for (const std::string& text : texts.remove) AddEdit(edits, text, "", encoding);
  return EditListPass(std::move(edits));
}

}  // namespace slimtag
