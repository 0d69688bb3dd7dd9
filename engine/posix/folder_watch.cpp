#include "folder_watch.h"

#include <sys/inotify.h>
#include <sys/statfs.h>
#include <sys/utsname.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include "side_files.h"

namespace slimtag::posix {

int FolderWatch::Add(int folder) {
  const std::lock_guard lock(mutex_);
  if (unavailable_) return -1;
  if (!inotify_) {
    inotify_.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!inotify_) {
      unavailable_ = true;
      return -1;
    }
  }
  // The folder as the run holds it, not by a path that may lead elsewhere by now.
  const std::string held = "/proc/self/fd/" + std::to_string(folder);
  return ::inotify_add_watch(inotify_.get(), held.c_str(),
                             IN_MODIFY | IN_ATTRIB | IN_ONLYDIR | IN_EXCL_UNLINK);
}

void FolderWatch::Drain() {
  if (!inotify_) return;
  alignas(inotify_event) char events[16384];
  for (;;) {
    const ssize_t got = ::read(inotify_.get(), events, sizeof events);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // EAGAIN: nothing more
    for (ssize_t at = 0; at < got;) {
      inotify_event event;
      std::memcpy(&event, events + at, sizeof event);
      const char* name = events + at + sizeof event;
      at += static_cast<ssize_t>(sizeof event + event.len);
      if ((event.mask & IN_Q_OVERFLOW) != 0) {
        overflow_ = ++counter_;
        continue;
      }
      if (event.len == 0) continue;
      const std::string_view file(name, ::strnlen(name, event.len));
      if (file.starts_with(kSideFilePrefix)) continue;
      last_change_[{event.wd, std::string(file)}] = ++counter_;
    }
  }
}

std::uint64_t FolderWatch::Mark() {
  const std::lock_guard lock(mutex_);
  Drain();
  return counter_;
}

bool FolderWatch::ChangedSince(int watch, const std::string& name, std::uint64_t mark) {
  if (watch < 0) return false;
  const std::lock_guard lock(mutex_);
  Drain();
  if (overflow_ > mark) return true;
  const auto it = last_change_.find({watch, name});
  return it != last_change_.end() && it->second > mark;
}

void FolderWatch::Reset() {
  const std::lock_guard lock(mutex_);
  inotify_.Reset();
  unavailable_ = false;
  counter_ = 0;
  overflow_ = 0;
  last_change_.clear();
}

bool TimesAreFineGrained(std::string_view release, std::uint64_t f_type) {
  switch (f_type) {
    case 0xEF53:      // ext4
    case 0x58465342:  // XFS
    case 0x9123683E:  // Btrfs
    case 0x01021994:  // tmpfs
      break;
    default:
      return false;
  }
  int major = 0, minor = 0;
  const char* end = release.data() + release.size();
  auto [dot, e1] = std::from_chars(release.data(), end, major);
  if (e1 != std::errc() || dot == end || *dot != '.') return false;
  if (std::from_chars(dot + 1, end, minor).ec != std::errc()) return false;
  return major > 6 || (major == 6 && minor >= 13);
}

bool TimesAreFineGrained(int folder) {
  struct utsname system {};
  struct statfs fs {};
  if (::uname(&system) != 0 || ::fstatfs(folder, &fs) != 0) return false;
  return TimesAreFineGrained(system.release, static_cast<std::uint64_t>(fs.f_type));
}

}  // namespace slimtag::posix
