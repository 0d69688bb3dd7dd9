#include "line_pipeline.h"

#include "passes/colour_codes.h"
#include "passes/editor_meta.h"
#include "passes/empty_tags.h"
#include "passes/line_end_blanks.h"
#include "passes/logical_tags.h"
#include "passes/space_entity.h"
#include "passes/tag_blanks.h"
#include "user_edits.h"

namespace slimtag {

namespace {

// A pass that is one function of the line.
template <void (*Edit)(std::string&)>
class FunctionPassOf : public LinePass {
 public:
  void Apply(std::string& line) const override { Edit(line); }
};

template <void (*Edit)(std::string&)>
std::unique_ptr<LinePass> FunctionPass() {
  return std::make_unique<FunctionPassOf<Edit>>();
}

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
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
  return (options.Ticked(12) && (any_non_ascii(find) || any_non_ascii(replace))) ||
         (options.Ticked(13) && any_non_ascii(remove));
}

LinePipeline::LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding) {
  // The run's fixed order of the line passes.
  if (options.Ticked(1)) passes_.push_back(FunctionPass<RemoveLeadingBlanks>());
  if (options.Ticked(2)) passes_.push_back(FunctionPass<RemoveTrailingBlanks>());
  if (options.Ticked(8)) passes_.push_back(FunctionPass<RemoveTagBlanks>());
  if (options.Ticked(12)) passes_.push_back(MakeUserReplacementPass(texts, encoding));
  if (options.Ticked(13)) passes_.push_back(MakeUserRemovalPass(texts, encoding));
  if (options.Ticked(4)) passes_.push_back(FunctionPass<RemoveEditorMetaTags>());
  if (options.Ticked(7)) passes_.push_back(FunctionPass<RemoveSpaceEntities>());
  if (options.Ticked(9)) passes_.push_back(FunctionPass<RemoveEmptyTags>());
  if (options.Ticked(10)) passes_.push_back(FunctionPass<ReplaceLogicalTags>());
  if (options.Ticked(11)) passes_.push_back(FunctionPass<ShortenColourCodes>());
}

LinePipeline::~LinePipeline() = default;
LinePipeline::LinePipeline(LinePipeline&&) noexcept = default;

}  // namespace slimtag
