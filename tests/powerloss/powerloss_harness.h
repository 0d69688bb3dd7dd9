#pragma once

// The power-loss file system (powerloss_fs.cpp) as the tests use it: mounted on a fresh folder
// by a child process, unmounted, and its cuts read back and checked against the pages of a run.

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace slimtag::powerloss {

// What one path would hold after a power cut.
struct Durable {
  char kind = 0;  // 'F' file, 'D' folder, 'L' link, 'O' other
  // A file's content, a link's target; cuts share one content, as the daemon wrote it once.
  std::shared_ptr<const std::string> bytes;
};

// The durable state after one operation: every path relative to the mount point.
struct Cut {
  std::string label;  // the operation that made it, such as "fsync pages/a.htm"
  std::map<std::string, Durable> paths;
};

// Reads a dump; false with *error when it is missing, cut short or malformed.
bool ReadCuts(const std::string& dump, std::vector<Cut>* cuts, std::string* error);

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The file system mounted for one test. Mount() as the test's first step; an unmount and the
// daemon's end are waited for, never guessed with a timer.
class PowerLossMount {
 public:
  PowerLossMount() = default;
  ~PowerLossMount();  // a mount still there (a failed test) is detached and its daemon killed
  PowerLossMount(const PowerLossMount&) = delete;
  PowerLossMount& operator=(const PowerLossMount&) = delete;

  // Starts the daemon and waits until the kernel has connected. Returns why the test must skip
  // (no /dev/fuse, or the mount was refused here); empty when mounted, or when something else
  // went wrong, which is a test failure (Mounted() tells).
  std::string Mount();
  bool Mounted() const { return daemon_ > 0; }
  // The mount point.
  std::string Root() const { return folder_.Path() + "/mnt"; }
  // Unmounts, waits for the daemon and reads its cuts; test failures when any step fails.
  std::vector<Cut> UnmountAndReadCuts();

 private:
  std::string DaemonLog() const;

  ScratchFolder folder_;
  pid_t daemon_ = -1;
};

// The label of the cut that the test's marker file makes once the pages are on the mount and
// durable: the cuts before it are the test's own setting up.
inline constexpr const char* kStartMarker = "run-starts";
// Creates the marker file in root.
void MarkRunStart(const std::string& root);

struct PageContents {
  std::string name;
  std::string before;  // as the test wrote it
  std::string after;   // what the run gives, on an ordinary folder
};

// Twenty pages of different sizes, each with space entities on every line.
std::vector<PageContents> SpacedPages();

// Writes each page's "before" content into folder and makes it durable (fsync).
void WritePagesDurably(const std::string& folder, const std::vector<PageContents>& pages);
// Each page's content as a reader sees it now, in the pages' order.
std::vector<std::string> ReadPages(const std::string& folder,
                                   const std::vector<PageContents>& pages);

// From the start marker on, in every cut: each page's name in folder (relative to the mount)
// holds its whole old or its whole new content, and each file under a page's name in a backup
// folder `~backup_*` beside them holds the page's whole old content. In the last cut, the state
// at unmount: every page holds its new content, and one backup folder holds every page's old one.
void ExpectPagesWholeAtEveryCut(const std::vector<Cut>& cuts, const std::string& folder,
                                const std::vector<PageContents>& pages);

// A program's exit status and output.
struct ProgramResult {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string out, err;
};
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& working_dir);

std::string ReadWholeFile(const std::string& path);

}  // namespace slimtag::powerloss
