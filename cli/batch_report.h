#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/platform.h"
#include "run/run_host.h"
#include "run/run_stats.h"

namespace slimtag {

// One page's figures as the run finished it.
struct PageFigures {
  std::string name;  // relative to FOLDER
  std::int64_t size_before = 0;
  std::int64_t size_after = 0;
};

// Why a run stopped, for the JSON document: the engine's failure, or the folder's listing.
struct ReportFailure {
  std::string operation;  // OperationName, or "list_folder"
  std::string path;
  std::string other;
  int error = 0;
  std::string message;  // the Russian warning
};

// A page that failed with -k, or a folder whose run stopped.
struct FailedPageReport {
  std::string name;  // as the page's figures name it; a folder by its path
  ReportFailure failure;
};

// What a run did, for the JSON document.
struct RunReport {
  std::string outcome;  // "statistics", "nothing_selected", "failed"
  bool dry_run = false;
  std::optional<std::string> folder;  // none for files in several folders
  RunStats stats;                     // the run's totals
  std::vector<PageFigures> pages;
  std::vector<LeftAlonePage> left_alone;  // the pages left as they were, with the reason
  std::optional<ReportFailure> failure;
  std::optional<std::vector<FailedPageReport>> failed_pages;  // with -k only
  std::string message;  // the Russian message the window would show, with LF line ends
};

// The window's messages end their lines with CR LF; a terminal and a JSON reader want LF.
std::string WithLineFeeds(const std::string& text);

// The JSON name of a failed file operation, as the README documents it.
std::string_view OperationName(FileError::Operation operation);

ReportFailure FailureOf(const FileError& error);

// The document --report json prints (UTF-8, indented by two blanks), with a line feed after it.
std::string JsonDocument(const RunReport& report);

// The -v line of a page: "sub/a.htm: 9 → 3 байт, удалено 67%".
std::string VerboseLine(const PageFigures& page);

}  // namespace slimtag
