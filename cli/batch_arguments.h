#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "lines/line_pipeline.h"
#include "run/run_host.h"

namespace slimtag {

// Exit codes of slimtag-batch.
enum BatchExit : int {
  kExitStatistics = 0,
  kExitNothingSelected = 1,
  kExitFailed = 2,
  kExitUsage = 64,
};

// The synopsis of the program, its two forms: the help, every usage error and the manual page
// show it.
inline constexpr std::string_view kSynopsis =
    "slimtag-batch [ПАРАМЕТР]... ПАПКА [ИМЯ]...\n"
    "  или:  slimtag-batch [ПАРАМЕТР]... ФАЙЛ...";

// FOLDER "-": one page from standard input to standard output.
inline constexpr std::string_view kStandardStreams = "-";

enum class ReportForm { kText, kJson };

// What the command line asks for, checked.
struct BatchArguments {
  RunOptions options;
  UserTexts texts;
  // The operands: a folder and names of its pages, or files (the first here).
  std::string folder;
  std::vector<std::string> names;
  bool recursive = false;
  bool keep_going = false;
  bool dry_run = false;
  bool verbose = false;
  ReportForm report = ReportForm::kText;
  LineEndRule line_ends = LineEndRule::kByPage;

  bool Filter() const { return folder == kStandardStreams; }
};

// Parses argv. On --help or --version prints to out and returns the exit code; on a usage error
// prints the reason and the synopsis to err and returns kExitUsage; otherwise fills arguments and
// returns nothing.
std::optional<int> ParseBatchArguments(int argc, const char* const* argv, std::ostream& out,
                                       std::ostream& err, BatchArguments& arguments);

// Prints a usage error: the reason, the synopsis and where to read more. Returns kExitUsage.
int UsageError(std::ostream& err, const std::string& reason);

// "slimtag-batch (Slimtag) 2.5.22" and the product line "Slimtag v2.5.22".
std::string VersionText();

}  // namespace slimtag
