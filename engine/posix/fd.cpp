#include "fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/statfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <random>
#include <vector>

namespace slimtag::posix {

int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

int WriteAll(int fd, std::string_view first, std::string_view second) {
  iovec pieces[2] = {{const_cast<char*>(first.data()), first.size()},
                     {const_cast<char*>(second.data()), second.size()}};
  ssize_t n;
  do {
    n = ::writev(fd, pieces, 2);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno;
  const auto done = static_cast<std::size_t>(n);
  if (done < first.size()) {
    if (const int err = WriteAll(fd, first.data() + done, first.size() - done)) return err;
    return WriteAll(fd, second.data(), second.size());
  }
  const std::size_t in_second = done - first.size();
  return WriteAll(fd, second.data() + in_second, second.size() - in_second);
}

int PwriteAll(int fd, const char* data, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    offset += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

namespace {

// The copy's buffer where the kernel cannot copy between the two files (another file system):
// one per thread, made on first use and kept, and never cleared, so a run that copies every page
// across file systems costs no allocation and no page faults per page.
constexpr std::size_t kCopyBufferSize = std::size_t(1) << 20;
char* CopyBuffer() {
  thread_local const std::unique_ptr<char[]> buffer =
      std::make_unique_for_overwrite<char[]>(kCopyBufferSize);
  return buffer.get();
}

}  // namespace

int CopyFrom(int in, off_t in_offset, int out, off_t out_offset, std::uint64_t length) {
#ifdef __linux__
  loff_t in_off = in_offset;
  loff_t out_off = out_offset;
  std::uint64_t left = length;
  for (;;) {
    if (left == 0) return 0;
    const ssize_t n = ::copy_file_range(in, &in_off, out, &out_off,
                                        std::min<std::uint64_t>(left, std::uint64_t(1) << 30), 0);
    if (n == 0) return 0;
    if (n > 0) {
      left -= static_cast<std::uint64_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP) break;
    return errno;
  }
  // What went across before the fallback is copied again: the same bytes to the same place.
#endif
  char* const buffer = CopyBuffer();
  for (std::uint64_t left = length; left > 0;) {
    const ssize_t n =
        ::pread(in, buffer, std::min<std::uint64_t>(left, kCopyBufferSize), in_offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    if (const int err = PwriteAll(out, buffer, static_cast<std::size_t>(n), out_offset)) {
      return err;
    }
    in_offset += n;
    out_offset += n;
    left -= static_cast<std::uint64_t>(n);
  }
  return 0;
}

FileStamp FileStamp::Of(const struct stat& st) {
  FileStamp s;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtime_ns = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctime_ns = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int SetMode(int fd, mode_t mode) {
  if (::fchmod(fd, mode) == 0) return 0;
  const int err = errno;
  struct stat st {};
  return ::fstat(fd, &st) == 0 && (st.st_mode & 07777) == mode ? 0 : err;
}

bool OnOverlay(int fd) {
#ifdef __linux__
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 && static_cast<std::uint64_t>(fs.f_type) == 0x794C7630;
#else
  (void)fd;
  return false;
#endif
}

bool CanGiveOwnership(uid_t me, uid_t uid, gid_t gid) {
  if (me == 0) return true;
  if (me != uid) return false;
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[std::size_t(i)] == gid) return true;
  }
  return false;
}

std::string RandomName(std::string_view prefix, std::string_view suffix) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::minstd_rand random(std::random_device{}());
  std::string name(prefix);
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  name += suffix;
  return name;
}

Fd CreateLockedFile(int dir, std::string_view prefix, std::string_view suffix, std::string& name,
                    mode_t mode) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = RandomName(prefix, suffix);
    Fd fd(::openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!fd) {
      if (errno == EEXIST) continue;
      return fd;
    }
    // Nobody else can hold a file that did not exist a moment ago, so this never waits.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::unlinkat(dir, name.c_str(), 0);
      errno = err;
      return Fd();
    }
    return fd;
  }
  errno = EEXIST;
  return Fd();
}

}  // namespace slimtag::posix
