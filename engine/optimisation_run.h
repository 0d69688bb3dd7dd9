#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "line_output.h"
#include "line_pipeline.h"
#include "platform.h"
#include "run_host.h"

namespace slimtag {

// The run's state; it belongs to the run's owner and lives as long as it.
struct RunState {
  std::string CurrentLine;
  std::int64_t SizeBefore = 0;
  std::int64_t SizeAfter = 0;
  std::int64_t FilesDone = 0;
  double SavedPercent = 0;
  std::string BackupStamp;   // the time of day that names the backup folder
  std::string BackupFolder;  // the folder made, with "_2", "_3", … when the name was taken
  std::optional<FileError> Failure;  // what stopped the last run, if anything did
};

class Optimiser {
 public:
  explicit Optimiser(Platform& platform) : platform_(platform) {}

  // The run behind the optimise button: every selected entry of the request's file list, in list
  // order, through the ticked passes and back over the page; the host is told of each page and,
  // once, of the end. The host is told on the thread that runs it.
  RunOutcome RunOptimisation(const RunRequest& request, RunHost& host);

  RunState& State() { return state_; }
  const RunState& State() const { return state_; }

 private:
  // Forgets the last run.
  void BeginRun();
  // Checks that no other copy is at work here, holds the folder, completes what a killed run left
  // in it and makes the backup folder.
  void OpenFolders(const RunRequest& request);
  // After a failure: commits the pages finished before it and tells the host.
  RunOutcome Stop(const RunRequest& request, RunHost& host, const FileError& error);
  // The end of a run that went through.
  RunOutcome Finish(const RunRequest& request, RunHost& host);
  // The end of a run stopped between two pages, once those before are committed.
  RunOutcome FinishStopped(const RunRequest& request, RunHost& host);
  RunOutcome Tell(RunHost& host, RunOutcome outcome, std::string message);

  // An entry of the list on its way: to be done, done again, or told as failed.
  struct Work {
    std::string name;
    // How often its new content was dropped with a batch that failed on another page.
    int attempt = 0;
    std::optional<FileError> failure;
  };

  // A page whose new content waits to replace it; it is reported once it has. With keep_going,
  // also a page that failed, told once the pages before it are.
  struct Prepared {
    std::string name;
    std::int64_t size_before = 0;
    std::int64_t size_after = 0;
    std::string path;  // as failures name it
    FileIdentity file;
    int attempt = 0;
    std::optional<FileError> failure;
  };

  void MakeBackupStamp();
  // Makes the run's backup folder in parent and returns it.
  std::shared_ptr<Folder> MakeBackupFolder(Folder& parent);
  // A page done again may have had its first copy named already: each attempt has its own.
  Folder& BackupFolderFor(const std::string& sub_folder, int attempt);
  // The folder of the entries below sub_folder ("" for the folder itself), held from the first
  // of its pages to the end of the run; a folder reached for the first time is recovered first.
  Folder& PageFolder(const RunRequest& request, const std::string& sub_folder);
  char* ReadBlock();
  void ProcessPage(const RunRequest& request, RunHost& host, const Work& work);
  // The page through the passes into its new content, which then replaces it; its new size.
  std::uint64_t Rewrite(const RunRequest& request, std::unique_ptr<Page> page);
  // The run's list, page by page, and the last commit; whether the stop flag cut it short.
  bool ProcessWork(const RunRequest& request, RunHost& host);
  // With keep_going, after a page's failure: commits what waits, tells the pages replaced, and
  // puts back in the list, in list order, each page not replaced: as failed where a failure names
  // it, else to be done again. Throws a failure that names no such page.
  void Settle(const RunRequest& request, RunHost& host, const FileError& error,
              const Work* current);
  // Counts and reports the pages replaced since the last call, and the failed ones between them.
  void ReportReplaced(RunHost& host);
  // Reads the page from its start, block by block, while feed asks for more.
  void ScanPage(Page& page, const std::function<bool(std::string_view)>& feed);
  Encoding PageEncoding(Page& page);
  // The rule that kByPage gives the page. A page that one block holds is read once, into the
  // read block through source, and read tells how much of it is there; else read is 0 and source
  // is a fresh one.
  LineEndRule PageLineEnds(Page& page, std::unique_ptr<ByteSource>& source, std::size_t& read);
  // The message of a run's end, not stopped: the failure's when there is one.
  std::string EndText(const RunRequest& request, const FileError* failure = nullptr) const;
  const LinePipeline& PipelineFor(Encoding encoding, const RunOptions& options,
                                  const UserTexts& texts);
  // Lets go of every folder of the run, and of the temporary file.
  void ReleaseFolders();

  Platform& platform_;
  RunState state_;
  std::optional<LinePipeline> pipelines_[2];
  std::vector<Recovery> recovered_;  // interrupted rewrites found in this run
  std::map<std::string, std::shared_ptr<Folder>> folders_;  // "" or sub-folder → held
  // The same, and the attempt → its backups.
  std::map<std::pair<std::string, int>, std::shared_ptr<Folder>> backup_folders_;
  std::shared_ptr<Folder> list_folder_;  // where the folder's own backup folder is made
  std::deque<Prepared> prepared_;
  std::uint64_t reported_ = 0;  // pages replaced and reported
  std::deque<Work> work_;
  // The page in hand: its path, and its file once opened.
  std::string current_path_;
  std::optional<FileIdentity> current_file_;
  // Files whose new content was dropped: marked rewritten by the platform, yet to be done again.
  std::set<std::pair<std::uint64_t, std::uint64_t>> dropped_;
  std::unique_ptr<char[]> read_block_;
};

}  // namespace slimtag
