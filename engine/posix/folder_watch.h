#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "fd.h"

namespace slimtag::posix {

// Tells whether another program wrote to a page since the run opened it, whatever the file's
// times say: where they are stamped at the kernel's tick (ramfs; ext4 and tmpfs on older
// kernels), an editor that saves the same number of bytes right after the run's read leaves size
// and times as they were. One watch per folder of the run; the run's own side files are not
// followed. Safe to ask from the commit thread while the run opens pages.
class FolderWatch {
 public:
  // Watches folder; the watch's number, or -1 where none can be had (no inotify, no /proc, a
  // limit reached): there only sizes and times tell.
  int Add(int folder);
  // A mark to compare with later: every change seen so far comes before it.
  std::uint64_t Mark();
  // Whether name in the watched folder was written to, or had its attributes changed, after mark.
  bool ChangedSince(int watch, const std::string& name, std::uint64_t mark);
  // Drops every watch.
  void Reset();

 private:
  void Drain();  // with the mutex held

  std::mutex mutex_;
  Fd inotify_;
  bool unavailable_ = false;
  std::uint64_t counter_ = 0;
  std::uint64_t overflow_ = 0;  // when events were lost: every name counts as changed since
  std::map<std::pair<int, std::string>, std::uint64_t> last_change_;
};

// Whether the file system of folder stamps every change with a time that differs from the last
// one looked at (the multigrain times of Linux 6.13 on ext4, XFS, Btrfs and tmpfs): there a write
// of the same size always changes the change time, and no watch is needed. release is the
// kernel's (uname), f_type the file system's (fstatfs).
bool TimesAreFineGrained(std::string_view release, std::uint64_t f_type);
// The same for the running kernel and the folder's file system.
bool TimesAreFineGrained(int folder);

}  // namespace slimtag::posix
