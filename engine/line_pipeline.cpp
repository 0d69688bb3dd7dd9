#include "line_pipeline.h"

#include "passes/colour_codes.h"
#include "passes/editor_meta.h"
#include "passes/empty_tags.h"
#include "passes/line_end_blanks.h"
#include "passes/line_survey.h"
#include "passes/logical_tags.h"
#include "passes/space_entity.h"
#include "passes/tag_blanks.h"
#include "user_edits.h"

namespace slimtag {

namespace {

// A pass that is one function of the line. Each of these functions changes the length of the line
// whenever it changes the line: they delete, or replace by shorter text.
template <void (*Edit)(std::string&)>
class FunctionPassOf : public LinePass {
 public:
  bool Apply(std::string& line) const override {
    const std::size_t before = line.size();
    Edit(line);
    return line.size() != before;
  }
};

template <void (*Edit)(std::string&)>
std::unique_ptr<LinePass> FunctionPass() {
  return std::make_unique<FunctionPassOf<Edit>>();
}

}  // namespace

LinePipeline::LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding) {
  auto add = [this](std::unique_ptr<LinePass> pass, std::uint32_t signs, std::uint32_t forms) {
    steps_.push_back({std::move(pass), signs, forms});
  };
  // The run's fixed order of the line passes. Trimming the ends joins nothing; the other fixed
  // passes delete, and insert only their tables' texts: "<" (logical tags) and letters.
  if (options.Ticked(1)) add(FunctionPass<RemoveLeadingBlanks>(), sign::kBlankAtStart, 0);
  if (options.Ticked(2)) add(FunctionPass<RemoveTrailingBlanks>(), sign::kBlankAtEnd, 0);
  if (options.Ticked(8)) add(FunctionPass<RemoveTagBlanks>(), sign::kEditedBlankRun, sign::kJoined);
  if (options.Ticked(12)) add(MakeUserReplacementPass(texts, encoding), 0, sign::kEvery);
  if (options.Ticked(13)) add(MakeUserRemovalPass(texts, encoding), 0, sign::kJoined);
  if (options.Ticked(4))
    add(FunctionPass<RemoveEditorMetaTags>(), sign::kMetaOpening, sign::kJoined);
  if (options.Ticked(7)) add(FunctionPass<RemoveSpaceEntities>(), sign::kAmpersand, sign::kJoined);
  if (options.Ticked(9)) add(FunctionPass<RemoveEmptyTags>(), sign::kEmptyTagJoin, sign::kJoined);
  if (options.Ticked(10)) {
    add(FunctionPass<ReplaceLogicalTags>(), sign::kTagOpening, sign::kJoined | sign::kTagOpening);
  }
  if (options.Ticked(11)) add(FunctionPass<ShortenColourCodes>(), sign::kHash, sign::kJoined);
}

LinePipeline::~LinePipeline() = default;
LinePipeline::LinePipeline(LinePipeline&&) noexcept = default;

void LinePipeline::Apply(std::string& line) const {
  if (steps_.empty()) return;
  std::uint32_t signs = line.size() > kSurveyedLength ? sign::kEvery : SurveyLine(line);
  for (const Step& step : steps_) {
    if (step.signs != 0 && (signs & step.signs) == 0) continue;
    if (step.pass->Apply(line)) signs |= step.forms;
  }
}

}  // namespace slimtag
