#pragma once

#include <ostream>
#include <string_view>

#include "batch_arguments.h"
#include "progress_line.h"
#include "run/platform.h"

namespace slimtag {

// The line after a dry run's message: the figures are what a run would give.
inline constexpr std::string_view kDryRunNote = "Пробный прогон: ничего не записано.";

// Where slimtag-batch reads and writes: the two text streams, and for FOLDER "-" the page's
// descriptors.
struct BatchIo {
  std::ostream& out;
  std::ostream& err;
  int in_fd = 0;
  int out_fd = 1;
  bool err_is_terminal = false;  // show the progress display on err
  int terminal_width = 0;        // columns, 0 when unknown
  ProgressLine::Clock clock = SteadyMilliseconds;
};

// slimtag-batch [OPTION]... FOLDER [NAME]...: the optimise button's run on FOLDER's pages, or the
// filter from standard input to standard output. Returns the exit code.
int RunBatch(int argc, const char* const* argv, const BatchIo& io, Platform& platform);

// The same with the two text streams only; progress_to_terminal shows the progress display.
int RunBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             Platform& platform, bool progress_to_terminal);

}  // namespace slimtag
