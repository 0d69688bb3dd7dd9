#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace slimtag {

// The edits of runs of blanks that a copy of whole lines makes as it goes (line_end_blanks.h).
struct BlankEdits {
  bool leading = false;     // Check1
  bool trailing = false;    // Check2
  bool tag_blanks = false;  // Check8
};

// The passes that scan their lines with byte_scan.h, as one set of one build (pass_isa.h).
struct ScanningPasses {
  void (*remove_tag_blanks)(std::string&);
  void (*remove_editor_meta_tags)(std::string&);
  void (*remove_empty_tags)(std::string&);
  void (*replace_logical_tags)(std::string&);
  std::uint32_t (*survey_line)(std::string_view);
  // On a text of whole lines (line_end_blanks.h, empty_lines.h).
  void (*copy_whole_lines)(std::string_view, std::string&, const BlankEdits&);
  void (*drop_empty_lines)(std::string&);
};

// The build that every processor runs.
const ScanningPasses& BaselineScanningPasses();
// The build for AVX2; nullptr where the program was built without it or the processor lacks it.
const ScanningPasses* Avx2ScanningPasses();
// The fastest build that this processor runs; every build gives every line the same result.
const ScanningPasses& FastestScanningPasses();

}  // namespace slimtag
