#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "run_host.h"
#include "run_stats.h"

namespace slimtag {

inline constexpr std::string_view kNoFilesSelected = "Файлы не выбраны! ";
inline constexpr std::string_view kOptimisingFile = "Оптимизируется файл: ";
inline constexpr std::string_view kMessageLineEnd = "\r\n";
inline constexpr std::string_view kRunStopped =
    "Оптимизация остановлена по вашему запросу; остальные файлы не тронуты.";

// The five lines of the statistics message, joined by CR LF; stats must have selected something.
std::string StatisticsText(const RunStats& stats);

// The message of a run stopped by the user: a line saying so, an empty line, then the
// statistics of the pages done before the stop (only their count when they held nothing).
std::string StoppedText(const RunStats& stats);

// The percentage as shown: rounded to the nearest whole number, halves to the even neighbour.
std::int64_t RoundedPercent(double percent);

// The warning for a failed file operation: what failed, on which file, and why. Names are shown
// in the style given (as they are when none is).
std::string FailureText(const FileError& error, NameStyle names = nullptr);

// What failed, on which file, and why, as one sentence: FailureText without its first line.
std::string PageFailureText(const FileError& error, NameStyle names = nullptr);

// The line of the final message for a page whose rewrite, cut short by a killed run, was found
// when this run started: completed, or left as someone changed it, with its new content beside it.
std::string RecoveryText(const Recovery& recovery, NameStyle names = nullptr);

// text, then a line (RecoveryText) for each interrupted rewrite found.
std::string WithRecoveryLines(std::string text, const std::vector<Recovery>& recovered,
                              NameStyle names = nullptr);

// text, then a line for each reason some pages were left as they were, with their count.
std::string WithLeftAloneLines(std::string text, const std::vector<LeftAlonePage>& left_alone);

// What became of one page left as it was, and why: "оставлен как есть: это не текст".
std::string LeftAlonePageText(LeftAlone reason);

// The message that ends a run that was not stopped: the failure's warning where there is one,
// else the statistics, or "Файлы не выбраны! " where no byte was counted; then the lines of the
// pages left as they were and of the interrupted rewrites found.
std::string EndOfRunText(const FileError* failure, const RunStats& stats,
                         const std::vector<LeftAlonePage>& left_alone,
                         const std::vector<Recovery>& recovered, NameStyle names = nullptr);

// Why an operation failed, from its errno, in Russian.
std::string ReasonText(int error);

}  // namespace slimtag
