#pragma once

// Small tools for the POSIX side of the platform: an owned descriptor, whole writes and copies,
// and the identity of a file.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace slimtag::posix {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Writes everything at the file position, or returns the errno.
int WriteAll(int fd, const char* data, std::size_t size);
// Both, in one call where the file takes them whole.
int WriteAll(int fd, std::string_view first, std::string_view second);
// Writes everything at offset, or returns the errno.
int PwriteAll(int fd, const char* data, std::size_t size, off_t offset);

// Copies in from in_offset to its end, or length bytes of it at most, into out at out_offset;
// returns the errno of a failure, 0 when done. A limit keeps a file that another program keeps
// appending to from being copied forever.
inline constexpr std::uint64_t kToTheEnd = ~std::uint64_t(0);
int CopyFrom(int in, off_t in_offset, int out, off_t out_offset, std::uint64_t length = kToTheEnd);

// What tells that a file is still the one that was opened: the same inode, size, modification
// and change time.
struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  std::int64_t mtime_ns = 0;
  std::int64_t ctime_ns = 0;

  static FileStamp Of(const struct stat& st);
  bool SameFile(const struct stat& st) const { return st.st_dev == dev && st.st_ino == ino; }
  bool operator==(const FileStamp&) const = default;
};

// The folder part and the last part of a path ("." for a bare name).
std::string DirectoryOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

// Gives the file mode (07777 bits), or returns the errno. Where the file system refuses any mode
// (FAT through FUSE gives every file the one of its mount), a file that has it already is fine.
int SetMode(int fd, mode_t mode);

// Whether fd is on overlayfs, where the first write to a file of the lower layer, or a rename of
// it, copies it up: a file of its own, with the same content and times, whose identity may differ.
bool OnOverlay(int fd);

// Whether me, the user who runs the program, may give a file this owner and group.
bool CanGiveOwnership(uid_t me, uid_t uid, gid_t gid);

// prefix, six random letters and digits, and suffix: a name for a file of the run's own.
std::string RandomName(std::string_view prefix, std::string_view suffix);

// A free name in folder dir made of prefix and six random letters and digits, created with
// O_EXCL and held with an exclusive lock; returns the descriptor and sets name. errno on failure.
Fd CreateLockedFile(int dir, std::string_view prefix, std::string_view suffix, std::string& name,
                    mode_t mode);

}  // namespace slimtag::posix
