// The set of scanning passes of this build: built once per instruction set (pass_isa.h).

#include "editor_meta.h"
#include "empty_lines.h"
#include "empty_tags.h"
#include "line_end_blanks.h"
#include "line_survey.h"
#include "logical_tags.h"
#include "scanning_passes.h"
#include "tag_blanks.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

extern const ScanningPasses kScanningPasses;
const ScanningPasses kScanningPasses = {
    &RemoveTagBlanks, &RemoveEditorMetaTags, &RemoveEmptyTags, &ReplaceLogicalTags,
    &SurveyLine,      &CopyWholeLines,       &DropEmptyLines};

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
