#include "user_edits.h"

#include <optional>
#include <vector>

#include "edit_buffer.h"
#include "pattern.h"

namespace slimtag {

namespace {

struct Edit {
  Pattern needle;
  std::string replacement;
};

// Each edit is one use of ReplaceAll on the line that the edit before left.
class EditListPass : public LinePass {
 public:
  explicit EditListPass(std::vector<Edit> edits) : edits_(std::move(edits)) {}
  void Apply(std::string& line) const override {
    for (const Edit& edit : edits_) ReplaceAll(line, edit.needle, edit.replacement);
  }

 private:
  std::vector<Edit> edits_;
};

void AddEdit(std::vector<Edit>& edits, const std::string& find, const std::string& replace,
             Encoding encoding) {
  if (find.empty()) return;
  const std::optional<std::string> needle = EncodeForPage(find, encoding);
  const std::optional<std::string> replacement = EncodeForPage(replace, encoding);
  if (!needle || !replacement) return;
  edits.push_back({Pattern(*needle, encoding), *replacement});
}

}  // namespace

std::unique_ptr<LinePass> MakeUserReplacementPass(const UserTexts& texts, Encoding encoding) {
  std::vector<Edit> edits;
  for (std::size_t i = 0; i < texts.find.size(); ++i) {
    AddEdit(edits, texts.find[i], texts.replace[i], encoding);
  }
  return std::make_unique<EditListPass>(std::move(edits));
}

std::unique_ptr<LinePass> MakeUserRemovalPass(const UserTexts& texts, Encoding encoding) {
  std::vector<Edit> edits;
  for (const std::string& text : texts.remove) AddEdit(edits, text, "", encoding);
  return std::make_unique<EditListPass>(std::move(edits));
}

}  // namespace slimtag
