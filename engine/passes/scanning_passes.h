#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace slimtag {

// The edits of runs of blanks that a copy of whole lines makes as it goes (line_end_blanks.h), in
// the order it makes them; a pass's row names the one it is (kNot: none).
enum class CopiedAs { kNot, kLeadingBlanks, kTrailingBlanks, kTagBlanks };

struct BlankEdits {
  bool leading = false;
  bool trailing = false;
  bool tag_blanks = false;

  void Add(CopiedAs edit) {
    leading = leading || edit == CopiedAs::kLeadingBlanks;
    trailing = trailing || edit == CopiedAs::kTrailingBlanks;
    tag_blanks = tag_blanks || edit == CopiedAs::kTagBlanks;
  }
};

// The line passes as one build gives them (pass_isa.h): where a pass scans with byte_scan.h, its
// code of that build; elsewhere its one code. Each build's passes call each other directly, with
// no choice of build on the way.
struct ScanningPasses {
  // Row by row of kLinePasses (line_passes.h): each pass as a function of the line; nullptr for
  // the passes made from the user's texts.
  std::span<void (*const)(std::string&)> edits;
  // The same on a text of whole lines that a LF ends too.
  std::span<void (*const)(std::string&)> lf_lines_edits;
  std::uint32_t (*survey_line)(std::string_view);
  // On a text of whole lines, ended by CR or CR LF, or with lf_ends_lines by LF, CR LF or CR
  // (line_end_blanks.h, empty_lines.h).
  void (*copy_whole_lines)(std::string_view, std::string&, const BlankEdits&, bool lf_ends_lines);
  void (*drop_empty_lines)(std::string&, bool lf_ends_lines);
};

// The build that every processor runs.
const ScanningPasses& BaselineScanningPasses();
// The build for AVX2; nullptr where the program was built without it or the processor lacks it.
const ScanningPasses* Avx2ScanningPasses();
// The fastest build that this processor runs, chosen by Highway on the first call; every build
// gives every line the same result.
const ScanningPasses& FastestScanningPasses();

// Each build that this processor runs, the baseline first, named for its instruction set: what
// the tests hold to the same results and the benchmarks compare.
struct NamedScanningPasses {
  const char* name;
  const ScanningPasses* passes;
};
std::vector<NamedScanningPasses> SupportedScanningPasses();

}  // namespace slimtag
