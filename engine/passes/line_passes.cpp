// The survey and the set of passes of each build, both from the tables of line passes; the choice
// of the build for this processor.

// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/line_passes.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <utility>

#include "empty_lines.h"
#include "line_passes.h"
#include "scanning_passes.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

namespace {

constexpr auto kScannedTriggers = [] {
  std::array<Trigger, sign::kScannedCount> triggers{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    if (kLinePasses[i].sign == SignKind::kScanned) triggers[n++] = kLinePassCode[i].trigger;
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
  for (std::size_t i = 0; i < kLinePassCount; ++i) edits[i] = kLinePassCode[i].edit;
  return edits;
}();
constexpr auto kLfLinesEdits = [] {
  std::array<LineEdit, kLinePassCount> edits{};
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    const LinePassCode& code = kLinePassCode[i];
    edits[i] = code.lf_lines_edit != nullptr ? code.lf_lines_edit : code.edit;
  }
  return edits;
}();

}  // namespace

std::uint32_t SurveyLine(std::string_view line) {
  return ScannedSigns(line, std::make_index_sequence<sign::kScannedCount>()) | EndSigns(line);
}

// This build's passes.
const ScanningPasses* BuildScanningPasses() {
  static const ScanningPasses passes = {kEdits, kLfLinesEdits, &SurveyLine, &CopyWholeLines,
                                        &DropEmptyLines};
  return &passes;
}

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace slimtag {

HWY_EXPORT(BuildScanningPasses);

const ScanningPasses& BaselineScanningPasses() {
  return *HWY_STATIC_DISPATCH(BuildScanningPasses)();
}

const ScanningPasses* Avx2ScanningPasses() {
#if HWY_TARGETS & HWY_AVX2
  if ((hwy::SupportedTargets() & HWY_AVX2) != 0) return N_AVX2::BuildScanningPasses();
#endif
  return nullptr;
}

const ScanningPasses& FastestScanningPasses() {
  return *HWY_DYNAMIC_DISPATCH(BuildScanningPasses)();
}

std::vector<NamedScanningPasses> SupportedScanningPasses() {
  std::vector<NamedScanningPasses> builds = {
      {hwy::TargetName(HWY_STATIC_TARGET), &BaselineScanningPasses()}};
#if (HWY_TARGETS & HWY_SSSE3) && HWY_STATIC_TARGET != HWY_SSSE3
  if ((hwy::SupportedTargets() & HWY_SSSE3) != 0) {
    builds.push_back({hwy::TargetName(HWY_SSSE3), N_SSSE3::BuildScanningPasses()});
  }
#endif
#if HWY_STATIC_TARGET != HWY_AVX2
  if (const ScanningPasses* avx2 = Avx2ScanningPasses()) {
    builds.push_back({hwy::TargetName(HWY_AVX2), avx2});
  }
#endif
  return builds;
}

}  // namespace slimtag
#endif
