#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lines/line_output.h"
#include "lines/line_pipeline.h"
#include "lines/page_survey.h"
#include "page_ledger.h"
#include "platform.h"
#include "run_folders.h"
#include "run_host.h"
#include "run_stats.h"

namespace slimtag {

// The run's state; it belongs to the run's owner and lives as long as it.
struct RunState {
  std::string CurrentLine;
  RunStats Stats;            // the pages replaced in the last run, reset when a run starts
  std::string BackupStamp;   // the time of day that names the backup folder
  std::string BackupFolder;  // the folder made, with "_2", "_3", … when the name was taken
  std::optional<FileError> Failure;           // what stopped the last run, if anything did
  std::vector<LeftAlonePage> LeftAlonePages;  // in the order they were met
};

// What an exception other than a file's (memory outside a page's rewrite, a thread that cannot
// be started, a guard of the program's own) means for a run in folder: a failure like a file's,
// named by the folder.
FileError RunFailure(const std::string& folder, const std::exception& error);

// The straight run: the list, page by page, through the passes into new content that replaces
// each page. Its folders are RunFolders', the pages' way through it the PageLedger's.
class Optimiser {
 public:
  explicit Optimiser(Platform& platform) : platform_(platform), folders_(platform) {}

  // The run behind the optimise button: every selected entry of the request's file list, in list
  // order, through the ticked passes and back over the page; the host is told of each page and,
  // once, of the end. The host is told on the thread that runs it.
  RunOutcome RunOptimisation(const RunRequest& request, RunHost& host);

  RunState& State() { return state_; }
  const RunState& State() const { return state_; }

 private:
  using Work = PageLedger::Work;

  // Forgets the last run.
  void BeginRun();
  // After a failure: commits the pages finished before it and tells the host.
  RunOutcome Stop(const RunRequest& request, RunHost& host, const FileError& error);
  // The end of a run that went through.
  RunOutcome Finish(const RunRequest& request, RunHost& host);
  // The end of a run stopped between two pages, once those before are committed.
  RunOutcome FinishStopped(const RunRequest& request, RunHost& host);
  RunOutcome Tell(RunHost& host, RunOutcome outcome, std::string message);

  char* ReadBlock();
  void ProcessPage(const RunRequest& request, RunHost& host, const Work& work);
  // The page through the passes into its new content, which then replaces it; its new size. The
  // read block holds the page's first read bytes from source already, when source is given.
  std::uint64_t Rewrite(const RunRequest& request, const PageKind& kind, std::unique_ptr<Page> page,
                        std::unique_ptr<ByteSource> source, std::size_t read);
  // The run's list, page by page, and the last commit; whether the stop flag cut it short.
  bool ProcessWork(const RunRequest& request, RunHost& host);
  // With keep_going, after a page's failure: commits what waits, tells the pages replaced, and
  // puts back in the list each page not replaced. Throws a failure that names no such page.
  void Settle(const RunRequest& request, RunHost& host, const FileError& error,
              const Work* current);
  // Counts and reports the pages replaced since the last call, and the failed ones between them.
  void ReportReplaced(RunHost& host);
  // Reads the page from its start, block by block, while feed asks for more.
  void ScanPage(Page& page, const std::function<bool(std::string_view)>& feed);
  // What the page is: text to rewrite, in which form and encoding, under which line-end rule
  // (kByPage decided), or a page to leave as it is. A page that one block holds is read once, into
  // the read block through source, and read tells how much of it is there; else read is 0 and
  // source is null.
  PageKind Survey(const RunRequest& request, Page& page, std::unique_ptr<ByteSource>& source,
                  std::size_t& read);
  // The message of a run's end, not stopped: the failure's when there is one.
  std::string EndText(const RunRequest& request, const FileError* failure = nullptr) const;
  const LinePipeline& PipelineFor(Encoding encoding, const RunOptions& options,
                                  const UserTexts& texts);

  Platform& platform_;
  RunState state_;
  RunFolders folders_;
  PageLedger ledger_;
  std::optional<LinePipeline> pipelines_[kCodePageCount + 1];  // by Encoding
  std::unique_ptr<char[]> read_block_;
};

}  // namespace slimtag
