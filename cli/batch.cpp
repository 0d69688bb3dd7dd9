#include "batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "batch_report.h"
#include "dry_run_platform.h"
#include "messages.h"
#include "name_quoting.h"
#include "optimisation_run.h"
#include "page_list.h"
#include "slimtag_version.h"
#include "stream_filter.h"

namespace slimtag {

namespace {

// Shows the run's pages on the progress display and with -v, and keeps what the report needs.
class BatchHost : public RunHost {
 public:
  BatchHost(const BatchArguments& arguments, ProgressLine& progress)
      : arguments_(arguments), progress_(progress) {}

  void PageStarted(const std::string& name) override {
    progress_.StartPage(QuotedForTerminal(name));
  }
  void PageDone(const std::string& name, std::int64_t size_before,
                std::int64_t size_after) override {
    const PageFigures page{name, size_before, size_after};
    progress_.FinishPage(size_before);
    if (arguments_.verbose) progress_.PrintLine(VerboseLine(page));
    // Kept only for the JSON document: a run over a large site stays small.
    if (arguments_.report == ReportForm::kJson) pages_.push_back(page);
  }
  void RunFinished(const RunResult& result) override { result_ = result; }

  const RunResult& Result() const { return result_; }
  const std::vector<PageFigures>& Pages() const { return pages_; }

 private:
  const BatchArguments& arguments_;
  ProgressLine& progress_;
  RunResult result_;
  std::vector<PageFigures> pages_;
};

// The listing does not say which folder of a tree failed.
std::string FolderFailureText(const BatchArguments& arguments, int error) {
  const std::string folder = arguments.report == ReportForm::kJson
                                 ? arguments.folder
                                 : QuotedForTerminal(arguments.folder);
  return "не удалось прочитать папку «" + folder + "»" +
         (arguments.recursive ? " или одну из вложенных в неё папок" : "") + ": " +
         ReasonText(error);
}

// The folder could not be read: the run does not start.
int ReportFolderFailure(const BatchArguments& arguments, const BatchIo& io, int error) {
  const std::string text = FolderFailureText(arguments, error);
  if (arguments.report == ReportForm::kJson) {
    RunReport report;
    report.outcome = "failed";
    report.dry_run = arguments.dry_run;
    report.folder = arguments.folder;
    report.failure = ReportFailure{"list_folder", arguments.folder, {}, error, text};
    report.message = text;
    io.out << JsonDocument(report);
  } else {
    io.err << "slimtag-batch: " << text << "\n";
  }
  return kExitFailed;
}

// FOLDER's pages (and its sub-folders' with -r). A FOLDER that is missing or not a folder is a
// wrong argument (64); one that cannot be looked at or read, a failed file operation (2). Returns
// the exit code when the run cannot start.
std::optional<int> ListFolder(const BatchArguments& arguments, const BatchIo& io,
                              std::vector<std::string>& entries, ListedFolders& folders) {
  const std::string& folder = arguments.folder;
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      return UsageError(io.err, "«" + QuotedForTerminal(folder) + "»: " + ReasonText(error));
    }
    return ReportFolderFailure(arguments, io, error);
  }
  if (!S_ISDIR(status.st_mode)) {
    return UsageError(io.err, "«" + QuotedForTerminal(folder) + "» не является папкой");
  }
  std::error_code listing;
  entries = arguments.recursive ? ListPagesRecursive(folder, listing, &folders)
                                : ListPages(folder, listing, &folders);
  if (listing) return ReportFolderFailure(arguments, io, listing.value());
  return std::nullopt;
}

int Report(const BatchArguments& arguments, const BatchIo& io, const BatchHost& host) {
  const RunResult& result = host.Result();
  const RunOutcome outcome = result.outcome;
  const std::string message = WithLineFeeds(result.message);
  const int code = outcome == RunOutcome::kStatistics        ? kExitStatistics
                   : outcome == RunOutcome::kNothingSelected ? kExitNothingSelected
                                                             : kExitFailed;
  if (arguments.report == ReportForm::kJson) {
    RunReport report;
    report.outcome = outcome == RunOutcome::kStatistics        ? "statistics"
                     : outcome == RunOutcome::kNothingSelected ? "nothing_selected"
                                                               : "failed";
    report.dry_run = arguments.dry_run;
    report.folder = arguments.folder;
    report.files_done = result.files_done;
    report.size_before = result.size_before;
    report.size_after = result.size_after;
    report.pages = host.Pages();
    if (result.failure) report.failure = FailureOf(*result.failure);
    report.message = message;
    io.out << JsonDocument(report);
  } else {
    // A failure is a message on standard error, which names the tool as every message there does.
    const bool failed = code == kExitFailed;
    (failed ? io.err : io.out) << (failed ? "slimtag-batch: " : "") << message << "\n"
                               << (arguments.dry_run ? std::string(kDryRunNote) + "\n" : "");
  }
  return code;
}

}  // namespace

int RunBatch(int argc, const char* const* argv, const BatchIo& io, Platform& platform) {
  BatchArguments arguments;
  if (auto code = ParseBatchArguments(argc, argv, io.out, io.err, arguments)) return *code;
  if (arguments.Filter()) return RunFilter(arguments, io.in_fd, io.out_fd, io.err);

  std::vector<std::string> entries;
  ListedFolders folders;
  if (auto code = ListFolder(arguments, io, entries, folders)) return *code;

  std::vector<bool> selected(entries.size(), arguments.names.empty());
  for (const std::string& name : arguments.names) {
    const auto it = std::find(entries.begin(), entries.end(), name);
    if (it == entries.end()) {
      return UsageError(io.err, "«" + QuotedForTerminal(name) + "» не является страницей папки «" +
                                    QuotedForTerminal(arguments.folder) + "»");
    }
    selected[std::size_t(it - entries.begin())] = true;
  }

  RunRequest request;
  request.options = arguments.options;
  request.texts = arguments.texts;
  request.folder = arguments.folder;
  request.list_folder = arguments.folder;
  request.entries.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    request.entries.push_back({std::move(entries[i]), selected[i]});
  }
  request.listed_folders = std::move(folders);
  request.line_ends = arguments.line_ends;
  // Each page's new content is written beside it: the tool runs from any working directory, and
  // runs on different folders never meet.
  request.temp_file.clear();
  // The JSON document carries names as they are; everything else is read on a terminal.
  request.names = arguments.report == ReportForm::kJson ? nullptr : &QuotedForTerminal;

  ProgressLine progress(io.err, io.err_is_terminal, io.clock, io.terminal_width);
  progress.SetTotal(std::count(selected.begin(), selected.end(), true));
  BatchHost host(arguments, progress);
  DryRunPlatform dry_run(platform);
  Optimiser optimiser(arguments.dry_run ? static_cast<Platform&>(dry_run) : platform);
  optimiser.RunOptimisation(request, host);
  progress.Erase();
  return Report(arguments, io, host);
}

int RunBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             Platform& platform, bool progress_to_terminal) {
  BatchIo io{out, err};
  io.err_is_terminal = progress_to_terminal;
  return RunBatch(argc, argv, io, platform);
}

}  // namespace slimtag
