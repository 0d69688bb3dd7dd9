// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/tag_blanks.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "in_place_rewrite.h"
#include "tag_blanks.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

// Every step edits whole runs of blanks and never joins two runs, because what stands on either
// side of a run is not a blank. So each maximal run of the line meets the steps on its own, and
// its fate follows from the characters before and after it:
//   after "<" (step 1) or before ">" (step 2): the whole run goes;
//   otherwise after ">" (step 3) or before "<" (step 4): a run of two or more shrinks to one blank
//   (each repetition deletes a blank of a run of two or more; a single blank is left alone);
//   anywhere else the run stays.
// Step 1 has taken every run after "<" before step 2 looks, and step 3 has shortened a run after
// ">" to one blank before step 4 looks, so the rules above give the line of the four steps.

// Rewritten in place, block by block: the text between two edited runs moves down unchanged.
// Runs are judged on the line as read, which gives the same verdicts: the character before a run
// is never a blank and is copied unchanged.
void RemoveTagBlanks(std::string& line) {
  const std::string_view text = line;
  const std::size_t n = line.size();
  const char* data = line.data();
  InPlaceRewrite rewrite(line);
  scan::ForEachTrigger(text, 0, kEditedRunTrigger, [&](std::size_t hit) {
    // The blank that the trigger holds, then the whole run around it.
    std::size_t start = data[hit] == ' ' ? hit : hit + 1;
    while (start > rewrite.Read() && data[start - 1] == ' ') --start;
    std::size_t end = start;
    while (end < n && data[end] == ' ') ++end;
    const char before = start > 0 ? data[start - 1] : '\0';
    const char after = end < n ? data[end] : '\0';
    rewrite.KeepUpTo(start);
    // An edited run keeps one blank at most.
    if (KeptTagBlanks(before, after, end - start) == 1) rewrite.Put(' ');
    rewrite.SkipTo(end);
    return end;
  });
  rewrite.Finish();
}

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();
