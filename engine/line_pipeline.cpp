#include "line_pipeline.h"

#include "user_edits.h"

namespace slimtag {

namespace {
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
  if (options.Ticked(12)) passes_.push_back(MakeUserReplacementPass(texts, encoding));
  if (options.Ticked(13)) passes_.push_back(MakeUserRemovalPass(texts, encoding));
}

LinePipeline::~LinePipeline() = default;
LinePipeline::LinePipeline(LinePipeline&&) noexcept = default;

}  // namespace slimtag
