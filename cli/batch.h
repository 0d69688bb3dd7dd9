#pragma once

#include <ostream>

#include "platform.h"

namespace slimtag {

// Exit codes of slimtag-batch.
enum BatchExit : int {
  kExitStatistics = 0,
  kExitNothingSelected = 1,
  kExitFailed = 2,
  kExitUsage = 64,
};

// slimtag-batch [OPTION]... FOLDER [NAME]...: the optimise button's run on FOLDER's pages.
// progress_to_terminal: name the file in hand on err as the run goes.
int RunBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             Platform& platform, bool progress_to_terminal);

}  // namespace slimtag
