#include "line_pipeline.h"

#include "passes/colour_codes.h"
#include "passes/line_end_blanks.h"
#include "passes/line_survey.h"
#include "passes/space_entity.h"
#include "user_edits.h"

namespace slimtag {

namespace {

// A pass that is one function of the line. Each of these functions changes the length of the line
// whenever it changes the line: they delete, or replace by shorter text.
class FunctionPass : public LinePass {
 public:
  explicit FunctionPass(void (*edit)(std::string&)) : edit_(edit) {}
  bool Apply(std::string& line) const override {
    const std::size_t before = line.size();
    edit_(line);
    return line.size() != before;
  }

 private:
  void (*edit_)(std::string&);
};

std::unique_ptr<LinePass> FunctionPassOf(void (*edit)(std::string&)) {
  return std::make_unique<FunctionPass>(edit);
}

}  // namespace

LinePipeline::LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding)
    : LinePipeline(options, texts, encoding, FastestScanningPasses()) {}

LinePipeline::LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding,
                           const ScanningPasses& scanning)
    : scanning_(scanning) {
  auto add = [this](std::unique_ptr<LinePass> pass, std::uint32_t signs, std::uint32_t forms,
                    bool copied = false) {
    steps_.push_back({std::move(pass), signs, forms, copied});
    scans_ = scans_ || (signs & sign::kScanned) != 0;
  };
  // The first three in the run's order edit runs of blanks, which a copy of whole lines does.
  copy_edits_ = {options.Ticked(Box::kTrimStart), options.Ticked(Box::kTrimEnd),
                 options.Ticked(Box::kTagBlanks)};
  within_lines_ = !options.Ticked(Box::kReplace) && !options.Ticked(Box::kRemove);
  // The run's fixed order of the line passes. Trimming the ends joins nothing; the other fixed
  // passes delete, and insert only their tables' texts: "<" (logical tags) and letters.
  if (options.Ticked(Box::kTrimStart))
    add(FunctionPassOf(&RemoveLeadingBlanks), sign::kBlankAtStart, 0, true);
  if (options.Ticked(Box::kTrimEnd))
    add(FunctionPassOf(&RemoveTrailingBlanks), sign::kBlankAtEnd, 0, true);
  if (options.Ticked(Box::kTagBlanks)) {
    add(FunctionPassOf(scanning.remove_tag_blanks), sign::kEditedBlankRun, sign::kJoined, true);
  }
  if (options.Ticked(Box::kReplace)) add(MakeUserReplacementPass(texts, encoding), 0, sign::kEvery);
  if (options.Ticked(Box::kRemove)) add(MakeUserRemovalPass(texts, encoding), 0, sign::kJoined);
  if (options.Ticked(Box::kEditorMeta))
    add(FunctionPassOf(scanning.remove_editor_meta_tags), sign::kMetaOpening, sign::kJoined);
  if (options.Ticked(Box::kSpaceEntity))
    add(FunctionPassOf(&RemoveSpaceEntities), sign::kAmpersand, sign::kJoined);
  if (options.Ticked(Box::kEmptyTags))
    add(FunctionPassOf(scanning.remove_empty_tags), sign::kEmptyTagHead, sign::kJoined);
  if (options.Ticked(Box::kLogicalTags))
    add(FunctionPassOf(scanning.replace_logical_tags), sign::kTagName, sign::kJoined);
  if (options.Ticked(Box::kColours))
    add(FunctionPassOf(&ShortenColourCodes), sign::kHash, sign::kJoined);
}

LinePipeline::~LinePipeline() = default;
LinePipeline::LinePipeline(LinePipeline&&) noexcept = default;

void LinePipeline::Apply(std::string& line) const {
  // No pass changes an empty line.
  if (steps_.empty() || line.empty()) return;
  RunSteps(line,
           line.size() > kSurveyedLength ? sign::kEvery
           : scans_                      ? scanning_.survey_line(line)
                                         : EndSigns(line),
           false);
}

void LinePipeline::ApplyToLines(std::string_view lines, std::string& text,
                                bool drop_empty_lines) const {
  // The first steps as the lines are copied; the survey then sees what they formed.
  scanning_.copy_whole_lines(lines, text, copy_edits_);
  RunSteps(text,
           text.size() > kSurveyedLength || !scans_ ? sign::kEvery : scanning_.survey_line(text),
           true);
  if (drop_empty_lines) scanning_.drop_empty_lines(text);
}

void LinePipeline::RunSteps(std::string& text, std::uint32_t signs, bool after_copy) const {
  for (const Step& step : steps_) {
    if ((after_copy && step.copied) || (step.signs != 0 && (signs & step.signs) == 0)) continue;
    if (step.pass->Apply(text)) signs |= step.forms;
  }
}

}  // namespace slimtag
