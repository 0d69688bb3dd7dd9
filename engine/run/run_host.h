#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lines/line_output.h"
#include "lines/page_survey.h"
#include "passes/run_options.h"
#include "platform.h"
#include "run_stats.h"

namespace slimtag {

// The window's temporary file: a bare name, so it lives in the working directory.
inline constexpr const char* kTempFileName = "slimtag.tmp";

// What a run is asked to do, read from its front end once before it starts. Texts are UTF-8;
// entry names and paths are the file system's bytes.
struct RunRequest {
  struct Entry {
    std::string name;
    bool selected = true;
  };

  RunOptions options;
  // The nine fields; the run reads only those whose box is ticked.
  UserTexts texts;
  // The folder of the folder list and the folder whose files the file list shows (the chooser
  // keeps both equal); the backup folder of the folder's own pages is made in the second.
  std::string folder;
  std::string list_folder;
  // The file list in its order. A name may be a path below the folder ("sub/page.htm"); its
  // backup then goes to a backup folder of its own folder.
  std::vector<Entry> entries;
  // Where the listing found the folder and its sub-folders ("" for the folder itself), where it
  // knows: the run works only in that very folder.
  ListedFolders listed_folders;
  LineEndRule line_ends = LineEndRule::kCrLf;
  // The file through which each page's new content goes (the window's kTempFileName); empty: a
  // new file beside each page.
  std::string temp_file;
  // How the messages show file names; null: as they are.
  NameStyle names = nullptr;
  // Whether a page that fails is told (RunHost::PageFailed) and keeps its content while the run
  // goes on; a failure of the run as a whole (its folders, its temporary file) stops it anyway.
  bool keep_going = false;
  // Set by the front end, from any thread, to stop the run: it is read before each page, so the
  // page in hand is finished and committed with those before it. Null: the run cannot be stopped.
  const std::atomic<bool>* stop = nullptr;
};

enum class MessageIcon { kInformation, kWarning };

enum class RunOutcome {
  kStatistics,       // the run went through
  kNothingSelected,  // "Файлы не выбраны! "
  kFailed,           // a file operation failed
  kStopped,          // the front end stopped it between two pages
};

// A page of the list that the run left byte for byte as it was, and why.
struct LeftAlonePage {
  std::string name;  // the entry's name
  LeftAlone reason = LeftAlone::kNotText;
};

// How a run ended: the one message its front end shows, and the figures behind it.
struct RunResult {
  RunOutcome outcome = RunOutcome::kStatistics;
  // The statistics (after a stop, below a line saying so), "Файлы не выбраны! " or the failure's
  // warning, with a line for each interrupted rewrite the run found; lines end with CR LF.
  std::string message;
  MessageIcon icon = MessageIcon::kInformation;
  RunStats stats;                    // the pages replaced
  std::optional<FileError> failure;  // what stopped the run
  // The interrupted rewrites the run found, each with its line in the message.
  std::vector<Recovery> recovered;
  // The pages left as they were (counted in neither the files done nor the sizes), counted by
  // reason in the message.
  std::vector<LeftAlonePage> left_alone;
};

// What a run tells its front end (the main window, or the batch front end) as it goes.
class RunHost {
 public:
  virtual ~RunHost() = default;
  // A page of the list is about to be opened: its entry name. With keep_going, a page whose
  // batch failed on another page is started once more.
  virtual void PageStarted(const std::string& /*name*/) {}
  // A page is replaced; told in list order, never before its new content is in place.
  virtual void PageDone(const std::string& /*name*/, std::int64_t /*size_before*/,
                        std::int64_t /*size_after*/) {}
  // The page is left as it is, not counted: it is not text, or its encoding cannot be read.
  virtual void PageLeftAlone(const std::string& /*name*/, LeftAlone /*reason*/) {}
  // With keep_going: the page failed and holds what it held before (or what another program
  // wrote to it); told in list order with PageDone.
  virtual void PageFailed(const std::string& /*name*/, const FileError& /*error*/) {}
  // The run is over; nothing of it is held any more.
  virtual void RunFinished(const RunResult& result) = 0;
};

}  // namespace slimtag
