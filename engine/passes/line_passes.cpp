// The survey and the set of passes of each build, both from the tables of line passes; the choice
// of the build for this processor.

// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/line_passes.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <utility>

// The compiler's look at an x86 processor, which ProcessorRuns takes.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define SLIMTAG_X86_CPU_CHECK 1
#include <cpuid.h>  // the compiler's, for HasF16c
#endif

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

namespace {

#ifdef SLIMTAG_X86_CPU_CHECK
// Not every compiler's processor check knows F16C (clang 14's does not).
bool HasF16c() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_F16C) != 0;
}
#endif

// Whether this processor and its system run a build: every extension that Highway compiles the
// build's code with (the target's HWY_TARGET_STR), as the compiler's own check of the processor
// finds them, with the system's support of the wide registers. Checked here rather than by
// Highway's library, whose loading alone costs a process milliseconds.
bool ProcessorRuns(std::int64_t target) {
#ifdef SLIMTAG_X86_CPU_CHECK
  __builtin_cpu_init();
  const bool ssse3 = __builtin_cpu_supports("sse2") && __builtin_cpu_supports("ssse3");
  if (target == HWY_SSSE3) return ssse3;
  if (target == HWY_AVX2) {
    return ssse3 && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("sse4.2") &&
           __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("aes") &&
           __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
           __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("fma") && HasF16c();
  }
#endif
  return target == HWY_STATIC_TARGET;
}

// Each pass on its own, by the fastest build.
void FastestEdit(Box box, std::string& line) {
  FastestScanningPasses().edits[RowOf(box)](line);
}

}  // namespace

const ScanningPasses& BaselineScanningPasses() {
  return *HWY_STATIC_DISPATCH(BuildScanningPasses)();
}

const ScanningPasses* Avx2ScanningPasses() {
#if HWY_TARGETS & HWY_AVX2
  if (ProcessorRuns(HWY_AVX2)) return N_AVX2::BuildScanningPasses();
#endif
  return nullptr;
}

const ScanningPasses& FastestScanningPasses() {
  static const ScanningPasses& fastest = []() -> const ScanningPasses& {
    if (const ScanningPasses* avx2 = Avx2ScanningPasses()) return *avx2;
#if (HWY_TARGETS & HWY_SSSE3) && HWY_STATIC_TARGET != HWY_SSSE3
    if (ProcessorRuns(HWY_SSSE3)) return *N_SSSE3::BuildScanningPasses();
#endif
    return BaselineScanningPasses();
  }();
  return fastest;
}

std::vector<NamedScanningPasses> SupportedScanningPasses() {
  std::vector<NamedScanningPasses> builds = {
      {hwy::TargetName(HWY_STATIC_TARGET), &BaselineScanningPasses()}};
#if (HWY_TARGETS & HWY_SSSE3) && HWY_STATIC_TARGET != HWY_SSSE3
  if (ProcessorRuns(HWY_SSSE3)) {
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

void RemoveTagBlanks(std::string& line) {
  FastestEdit(Box::kTagBlanks, line);
}
void RemoveEditorMetaTags(std::string& line) {
  FastestEdit(Box::kEditorMeta, line);
}
void RemoveEditorMetaTagsInLfLines(std::string& text) {
  FastestScanningPasses().lf_lines_edits[RowOf(Box::kEditorMeta)](text);
}
void RemoveEmptyTags(std::string& line) {
  FastestEdit(Box::kEmptyTags, line);
}
void ReplaceLogicalTags(std::string& line) {
  FastestEdit(Box::kLogicalTags, line);
}
void CopyWholeLines(std::string_view lines, std::string& text, const BlankEdits& edits,
                    bool lf_ends_lines) {
  FastestScanningPasses().copy_whole_lines(lines, text, edits, lf_ends_lines);
}
void DropEmptyLines(std::string& text, bool lf_ends_lines) {
  FastestScanningPasses().drop_empty_lines(text, lf_ends_lines);
}

}  // namespace slimtag
#endif
