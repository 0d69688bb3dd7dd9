#pragma once

namespace slimtag::posix {

// The moments of a run at which the tests stop the program, to see what a crash or a power cut
// there leaves behind, or act as another program would.
enum class Step {
  kFolderMade,        // the run's new folder exists and is not yet opened
  kWaitingForFolder,  // another run holds a folder the run is about to work in
  kBatchDurable,      // a batch's new files are durable; no page of it is renamed yet
  kPageChecked,       // a page of a batch is found unchanged; its new file is not yet in place
  kRecoveryDurable,   // a page's new content is safe beside it; the page is untouched
  kRewriteHeld,       // a page rewritten in its own file is open for writing, still untouched
  kHalfWritten,       // the page holds the new content's first half, the old one behind it
  kBeforeTruncation,  // the whole new content is written, the old one's tail still behind it
};

// Called at each of those moments in this process; null for none.
void SetStepHook(void (*hook)(Step));
// Where the program reaches a moment.
void ReachStep(Step step);

}  // namespace slimtag::posix
