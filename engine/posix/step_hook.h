#pragma once

namespace slimtag::posix {

// The moments of a replacement at which the tests stop the program, to see what a crash or a
// power cut there leaves behind.
enum class Step {
  kBatchDurable,      // a batch's new files are durable; no page of it is renamed yet
  kRecoveryDurable,   // a page's new content is safe beside it; the page is untouched
  kHalfWritten,       // the page holds the new content's first half, the old one behind it
  kBeforeTruncation,  // the whole new content is written, the old one's tail still behind it
};

// Called at each of those moments in this process; null for none.
void SetStepHook(void (*hook)(Step));
// Where the program reaches a moment.
void ReachStep(Step step);

}  // namespace slimtag::posix
