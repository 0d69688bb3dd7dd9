#pragma once

#include <ostream>

#include "batch_arguments.h"

namespace slimtag {

// FOLDER "-": one page from in_fd through the ticked passes to out_fd, with no temporary file and
// no backup. With --verbose the page's figures and the statistics go to err. Returns the exit
// code: 0, or kExitFailed when reading or writing failed.
int RunFilter(const BatchArguments& arguments, int in_fd, int out_fd, std::ostream& err);

}  // namespace slimtag
