// The survey and the set of passes of one build (pass_isa.h), both from the table of line passes.

#include "line_passes.h"

#include "empty_lines.h"
#include "scanning_passes.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

namespace {

constexpr auto kScannedTriggers = [] {
  std::array<Trigger, sign::kScannedCount> triggers{};
  std::size_t n = 0;
  for (const LinePassRow& row : kLinePasses) {
    if (row.sign == SignKind::kScanned) triggers[n++] = row.trigger;
  }
  return triggers;
}();

// The n-th scanned trigger as a type of its own, so that the scan's code calls it directly and
// inlines it as it would the trigger's own lambda.
template <std::size_t n>
struct ScannedTrigger {
  scan::Bytes operator()(const scan::Window& w) const {
    constexpr Trigger trigger = kScannedTriggers[n];
    return trigger(w);
  }
};

template <std::size_t... n>
std::uint32_t ScannedSigns(std::string_view line, std::index_sequence<n...>) {
  return scan::TriggersPresent(line, ScannedTrigger<n>{}...) << sign::kFirstScannedBit;
}

constexpr auto kEdits = [] {
  std::array<LineEdit, kLinePassCount> edits{};
  for (std::size_t i = 0; i < kLinePassCount; ++i) edits[i] = kLinePasses[i].edit;
  return edits;
}();
constexpr auto kLfLinesEdits = [] {
  std::array<LineEdit, kLinePassCount> edits{};
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    const LinePassRow& row = kLinePasses[i];
    edits[i] = row.lf_lines_edit != nullptr ? row.lf_lines_edit : row.edit;
  }
  return edits;
}();

}  // namespace

std::uint32_t SurveyLine(std::string_view line) {
  return ScannedSigns(line, std::make_index_sequence<sign::kScannedCount>()) | EndSigns(line);
}

extern const ScanningPasses kScanningPasses;
const ScanningPasses kScanningPasses = {kEdits, kLfLinesEdits, &SurveyLine, &CopyWholeLines,
                                        &DropEmptyLines};

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
