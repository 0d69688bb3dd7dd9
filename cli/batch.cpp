#include "batch.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "batch_report.h"
#include "name_quoting.h"
#include "run/dry_run_platform.h"
#include "run/messages.h"
#include "run/optimisation_run.h"
#include "run/page_list.h"
#include "slimtag_version.h"
#include "stream_filter.h"

namespace slimtag {

namespace {

// One run of the optimiser: a folder and its entries. In the file form, each entry is shown as
// the operand that named it.
struct FolderRun {
  std::string folder;
  std::vector<RunRequest::Entry> entries;
  ListedFolders listed;
  std::map<std::string, std::string> shown;
};

// A page that failed with -k, or a folder whose run stopped.
struct FailedPage {
  std::string name;
  FileError error;
  bool stopped_run = false;
};

// Shows the run's pages on the progress display and with -v, and keeps what the report needs.
class BatchHost : public RunHost {
 public:
  BatchHost(const BatchArguments& arguments, ProgressLine& progress)
      : arguments_(arguments), progress_(progress) {}

  void StartRun(const FolderRun& run) { run_ = &run; }

  void PageStarted(const std::string& name) override {
    progress_.StartPage(QuotedForTerminal(Shown(name)));
  }
  void PageDone(const std::string& name, std::int64_t size_before,
                std::int64_t size_after) override {
    const PageFigures page{Shown(name), size_before, size_after};
    progress_.FinishPage(size_before);
    if (arguments_.verbose) progress_.PrintLine(VerboseLine(page));
    // Kept only for the JSON document: a run over a large site stays small.
    if (arguments_.report == ReportForm::kJson) pages_.push_back(page);
  }
  void PageLeftAlone(const std::string& name, LeftAlone reason) override {
    progress_.FinishPage(0);
    if (arguments_.verbose) {
      progress_.PrintLine(QuotedForTerminal(Shown(name)) + ": " + LeftAlonePageText(reason));
    }
    left_alone_.push_back({Shown(name), reason});
  }
  void PageFailed(const std::string& name, const FileError& error) override {
    progress_.FinishPage(0);
    failed_.push_back({Shown(name), error});
  }
  void RunFinished(const RunResult& result) override { result_ = result; }
  // With -k, a run that stopped is one more failure, and the next folder's run goes on.
  void RunStopped() { failed_.push_back({run_->folder, *result_.failure, true}); }

  const RunResult& Result() const { return result_; }
  const std::vector<PageFigures>& Pages() const { return pages_; }
  const std::vector<FailedPage>& Failed() const { return failed_; }
  const std::vector<LeftAlonePage>& LeftAlonePages() const { return left_alone_; }

 private:
  const std::string& Shown(const std::string& name) const {
    const auto it = run_->shown.find(name);
    return it == run_->shown.end() ? name : it->second;
  }

  const BatchArguments& arguments_;
  ProgressLine& progress_;
  const FolderRun* run_ = nullptr;
  RunResult result_;
  std::vector<PageFigures> pages_;
  std::vector<FailedPage> failed_;
  std::vector<LeftAlonePage> left_alone_;  // of every run, named as shown
};

// The run cannot start: a folder or file that cannot be looked at or read. Returns the exit code.
int ReportStartFailure(const BatchArguments& arguments, const BatchIo& io,
                       const std::string& operation, const std::string& path, int error,
                       const std::string& text) {
  if (arguments.report == ReportForm::kJson) {
    RunReport report;
    report.outcome = "failed";
    report.dry_run = arguments.dry_run;
    report.folder = arguments.folder;
    report.failure = ReportFailure{operation, path, {}, error, text};
    report.message = text;
    if (arguments.keep_going) report.failed_pages.emplace();
    io.out << JsonDocument(report);
  } else {
    io.err << "slimtag-batch: " << text << "\n";
  }
  return kExitFailed;
}

// The folder of the tree that could not be read.
int ReportFolderFailure(const BatchArguments& arguments, const BatchIo& io,
                        const std::string& failed, int error) {
  const std::string folder =
      arguments.report == ReportForm::kJson ? failed : QuotedForTerminal(failed);
  const std::string text = "не удалось прочитать папку «" + folder + "»: " + ReasonText(error);
  return ReportStartFailure(arguments, io, "list_folder", failed, error, text);
}

// FOLDER's pages (and its sub-folders' with -r), the NAMEs selected. A FOLDER that cannot be
// read is a failed file operation (2), a NAME that is not its page a wrong argument (64).
// Returns the exit code when the run cannot start.
std::optional<int> ListFolder(const BatchArguments& arguments, const BatchIo& io,
                              Platform& platform, FolderRun& run) {
  const std::string& folder = arguments.folder;
  if (arguments.recursive && !arguments.names.empty()) {
    return UsageError(io.err, "с --recursive ИМЕНА не указываются");
  }
  std::error_code listing;
  std::string failed = folder;
  std::vector<std::string> entries =
      arguments.recursive ? ListPagesRecursive(platform, folder, listing, &run.listed, &failed)
                          : ListPages(platform, folder, listing, &run.listed);
  if (listing) return ReportFolderFailure(arguments, io, failed, listing.value());

  std::vector<bool> selected(entries.size(), arguments.names.empty());
  for (const std::string& name : arguments.names) {
    const auto it = std::find(entries.begin(), entries.end(), name);
    if (it == entries.end()) {
      return UsageError(io.err, "«" + QuotedForTerminal(name) + "» не является страницей папки «" +
                                    QuotedForTerminal(folder) + "»");
    }
    selected[std::size_t(it - entries.begin())] = true;
  }
  run.folder = folder;
  run.entries.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    run.entries.push_back({std::move(entries[i]), selected[i]});
  }
  return std::nullopt;
}

// The FILEs, by folder in the order of their first appearance, each file once. Each is looked at
// in its folder as opened, and the run of that folder is held to the folder seen here. A FILE
// that is missing or no file is a wrong argument (64); one that cannot be looked at, a failed
// file operation (2). Returns the exit code when the runs cannot start.
std::optional<int> GroupFiles(const BatchArguments& arguments, const BatchIo& io,
                              Platform& platform, std::vector<FolderRun>& runs) {
  if (arguments.recursive) return UsageError(io.err, "--recursive нельзя сочетать с ФАЙЛАМИ");
  std::vector<std::string> operands = {arguments.folder};
  operands.insert(operands.end(), arguments.names.begin(), arguments.names.end());
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::size_t> run_of_folder;
  for (const std::string& operand : operands) {
    const std::size_t slash = operand.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : operand.substr(0, slash);
    const std::string name = operand.substr(slash == std::string::npos ? 0 : slash + 1);
    std::error_code looked;
    const FileLookup file = platform.LookUpFile(folder, name, looked);
    const int error = looked.value();
    const std::string quoted = "«" + QuotedForTerminal(operand) + "»";
    if (error == ENOENT || error == ENOTDIR) {
      return UsageError(io.err, quoted + ": " + ReasonText(error));
    }
    if (error == EISDIR || (error == 0 && !file.regular)) {
      return UsageError(io.err, quoted + " не является файлом");
    }
    if (error != 0) {
      const std::string shown =
          arguments.report == ReportForm::kJson ? operand : QuotedForTerminal(operand);
      return ReportStartFailure(arguments, io, "open", operand, error,
                                "не удалось открыть «" + shown + "»: " + ReasonText(error));
    }
    const auto [at, first] =
        run_of_folder.try_emplace({file.folder.device, file.folder.inode}, runs.size());
    if (first) {
      FolderRun& run = runs.emplace_back();
      run.folder = folder;
      run.listed[""] = file.folder;
    }
    FolderRun& run = runs[at->second];
    if (run.shown.try_emplace(name, operand).second) run.entries.push_back({name, true});
  }
  return std::nullopt;
}

// What the runs came to together.
struct Totals {
  RunOutcome outcome = RunOutcome::kStatistics;
  RunStats stats;
  std::vector<Recovery> recovered;
  std::optional<FileError> failure;  // what stopped the tool
};

int Report(const BatchArguments& arguments, const BatchIo& io, const BatchHost& host,
           const Totals& totals, const std::optional<std::string>& folder) {
  const RunOutcome outcome = totals.outcome;
  const NameStyle names = arguments.report == ReportForm::kJson ? nullptr : &QuotedForTerminal;
  // The one message of all runs, as the engine words one run's.
  const std::string message =
      WithLineFeeds(EndOfRunText(outcome == RunOutcome::kFailed ? &*totals.failure : nullptr,
                                 totals.stats, host.LeftAlonePages(), totals.recovered, names));
  const std::vector<FailedPage>& failed = host.Failed();
  const int code = outcome == RunOutcome::kFailed || !failed.empty() ? kExitFailed
                   : outcome == RunOutcome::kStatistics              ? kExitStatistics
                                                                     : kExitNothingSelected;
  if (arguments.report == ReportForm::kJson) {
    RunReport report;
    report.outcome = outcome == RunOutcome::kStatistics        ? "statistics"
                     : outcome == RunOutcome::kNothingSelected ? "nothing_selected"
                                                               : "failed";
    report.dry_run = arguments.dry_run;
    report.folder = folder;
    report.stats = totals.stats;
    report.pages = host.Pages();
    report.left_alone = host.LeftAlonePages();
    if (totals.failure) report.failure = FailureOf(*totals.failure);
    if (arguments.keep_going) {
      auto& list = report.failed_pages.emplace();
      for (const FailedPage& page : failed) {
        ReportFailure failure = FailureOf(page.error);
        if (!page.stopped_run) failure.message = WithLineFeeds(PageFailureText(page.error));
        list.push_back({page.name, failure});
      }
    }
    report.message = message;
    io.out << JsonDocument(report);
    return code;
  }
  // A failure is a message on standard error, which names the tool as every message there does.
  const bool stopped = outcome == RunOutcome::kFailed;
  (stopped ? io.err : io.out) << (stopped ? "slimtag-batch: " : "") << message << "\n"
                              << (arguments.dry_run ? std::string(kDryRunNote) + "\n" : "");
  if (!failed.empty()) {
    io.err << "slimtag-batch: не обработано из-за ошибок: " << failed.size() << "\n";
    for (const FailedPage& page : failed) {
      std::string text = WithLineFeeds(page.stopped_run ? FailureText(page.error, names)
                                                        : PageFailureText(page.error, names));
      std::replace(text.begin(), text.end(), '\n', ' ');
      io.err << "  " << text << "\n";
    }
  }
  return code;
}

}  // namespace

int RunBatch(int argc, const char* const* argv, const BatchIo& io, Platform& platform) {
  BatchArguments arguments;
  if (auto code = ParseBatchArguments(argc, argv, io.out, io.err, arguments)) return *code;
  if (arguments.Filter()) return RunFilter(arguments, io.in_fd, io.out_fd, io.err);

  // The first operand decides the form: a folder and its pages' names, or files.
  std::vector<FolderRun> runs;
  if (platform.IsFolder(arguments.folder)) {
    if (auto code = ListFolder(arguments, io, platform, runs.emplace_back())) return *code;
  } else if (auto code = GroupFiles(arguments, io, platform, runs)) {
    return *code;
  }

  ProgressLine progress(io.err, io.err_is_terminal, io.clock, io.terminal_width);
  std::int64_t total = 0;
  for (const FolderRun& run : runs) {
    for (const RunRequest::Entry& entry : run.entries) total += entry.selected ? 1 : 0;
  }
  progress.SetTotal(total);
  BatchHost host(arguments, progress);
  DryRunPlatform dry_run(platform);
  Optimiser optimiser(arguments.dry_run ? static_cast<Platform&>(dry_run) : platform);
  Totals totals;
  for (FolderRun& run : runs) {
    RunRequest request;
    request.options = arguments.options;
    request.texts = arguments.texts;
    request.folder = run.folder;
    request.list_folder = run.folder;
    request.entries = std::move(run.entries);
    request.listed_folders = std::move(run.listed);
    request.line_ends = arguments.line_ends;
    // No temporary file: each page's new content is written beside it, as the tool runs from any
    // working directory and runs on different folders never meet.
    // The JSON document carries names as they are; everything else is read on a terminal.
    request.names = arguments.report == ReportForm::kJson ? nullptr : &QuotedForTerminal;
    request.keep_going = arguments.keep_going;
    host.StartRun(run);
    optimiser.RunOptimisation(request, host);
    const RunResult& result = host.Result();
    totals.stats += result.stats;
    totals.recovered.insert(totals.recovered.end(), result.recovered.begin(),
                            result.recovered.end());
    if (result.outcome != RunOutcome::kFailed) continue;
    if (arguments.keep_going) {
      host.RunStopped();
      continue;
    }
    totals.outcome = RunOutcome::kFailed;
    totals.failure = result.failure;
    break;
  }
  if (totals.outcome != RunOutcome::kFailed && totals.stats.NothingSelected()) {
    totals.outcome = RunOutcome::kNothingSelected;
  }
  progress.Erase();
  // With files in several folders, the document names none: each page is named as given.
  std::optional<std::string> folder;
  if (runs.size() == 1) folder = runs[0].folder;
  return Report(arguments, io, host, totals, folder);
}

int RunBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             Platform& platform, bool progress_to_terminal) {
  BatchIo io{out, err};
  io.err_is_terminal = progress_to_terminal;
  return RunBatch(argc, argv, io, platform);
}

}  // namespace slimtag
