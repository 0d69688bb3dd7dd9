#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
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
  JoinState join;            // the joined text's tail and JoinSeparator
  std::optional<FileError> Failure;  // what stopped the last run, if anything did
};

enum class RunOutcome {
  kStatistics,       // the statistics message was shown
  kNothingSelected,  // "Файлы не выбраны! " was shown
  kFailed,           // a file operation failed; its warning was shown
};

// The temporary file's name: a bare name, so it lives in the working directory.
inline constexpr const char* kTempFileName = "slimtag.tmp";

class Optimiser {
 public:
  explicit Optimiser(Platform& platform) : platform_(platform) {}

  // The run behind the optimise button: every selected entry of the host's file list, in list
  // order, through the ticked passes and back over the page, then one message.
  RunOutcome RunOptimisation(RunHost& host);

  RunState& State() { return state_; }
  const RunState& State() const { return state_; }

 private:
  void MakeBackupStamp();
  // Makes folder's backup folder for this run and returns its path.
  std::string MakeBackupFolder(const std::string& folder);
  std::string BackupFolderFor(RunHost& host, const std::string& sub_folder);
  char* ReadBlock();
  void ProcessPage(RunHost& host, const std::string& folder, const std::string& name,
                   const RunOptions& options, const UserTexts& texts);
  Encoding PageEncoding(Page& page);
  // The final message, with a line for each page whose interrupted rewrite was completed.
  std::string WithRecoveryNote(std::string text) const;
  const LinePipeline& PipelineFor(Encoding encoding, const RunOptions& options,
                                  const UserTexts& texts);

  Platform& platform_;
  RunState state_;
  std::optional<LinePipeline> pipelines_[2];
  std::vector<std::string> recovered_;                     // pages completed before this run
  std::set<std::string> recovered_folders_;                // sub-folders looked at
  std::map<std::string, std::string> sub_backup_folders_;  // sub-folder → its backup folder
  std::unique_ptr<char[]> read_block_;
};

// The folder path and a name joined with one separator.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace slimtag
