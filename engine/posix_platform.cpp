#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform.h"

namespace slimtag {

FileError::FileError(Operation op, std::string p, int err, std::string o)
    : std::runtime_error("file operation failed: " + p),
      operation(op),
      path(std::move(p)),
      other(std::move(o)),
      error(err) {}

namespace {

using Op = FileError::Operation;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes and reports the error that close may give (a delayed write error).
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return (fd >= 0 && ::close(fd) != 0) ? errno : 0;
  }

 private:
  int fd_;
};

// Writes everything or returns the errno.
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

// Copies the whole of in (from its start) to out; returns the errno of a failure, and in
// *read_failed whether it was the reading side.
int CopyContents(int in, int out, bool* read_failed) {
  *read_failed = false;
#ifdef __linux__
  loff_t in_off = 0;
  for (;;) {
    const ssize_t n = ::copy_file_range(in, &in_off, out, nullptr, std::size_t(1) << 30, 0);
    if (n == 0) return 0;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP) break;
    return errno;  // which side failed is not told; ENOSPC and EIO are the writing side's mostly
  }
  if (in_off != 0) {
    // Part of the data went across before the fallback; start over for a clean copy.
    if (::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) < 0) return errno;
  }
#endif
  std::vector<char> buffer(std::size_t(1) << 20);
  off_t offset = 0;
  for (;;) {
    const ssize_t n = ::pread(in, buffer.data(), buffer.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      *read_failed = true;
      return errno;
    }
    if (n == 0) return 0;
    if (const int err = WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) return err;
    offset += n;
  }
}

class FdSource : public ByteSource {
 public:
  FdSource(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_.get(), buffer, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) throw FileError(Op::kRead, path_, errno);
    }
  }

 private:
  Fd fd_;
  std::string path_;
};

// Collects lines in a large block so that the file sees few, large writes.
class FdSink : public ByteSink {
 public:
  FdSink(int fd, const std::string& path) : fd_(fd), path_(path) { buffer_.reserve(kSize); }
  void Write(std::string_view bytes) override {
    if (buffer_.size() + bytes.size() > kSize) {
      Flush();
      if (bytes.size() >= kSize) {
        Check(WriteAll(fd_, bytes.data(), bytes.size()));
        return;
      }
    }
    buffer_.append(bytes);
  }
  void Flush() {
    Check(WriteAll(fd_, buffer_.data(), buffer_.size()));
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kSize = std::size_t(1) << 20;
  void Check(int err) {
    if (err != 0) throw FileError(Op::kWriteTemp, path_, err);
  }
  int fd_;
  const std::string& path_;
  std::string buffer_;
};

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class PosixTempFile : public TempFile {
 public:
  explicit PosixTempFile(std::string path) : path_(std::move(path)) {
    bool empty = false;
    for (;;) {
      fd_.Reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
      if (fd_.get() < 0) throw FileError(Op::kCreateTemp, path_, errno);
      if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) throw FileError(Op::kTempLocked, path_, 0);
        throw FileError(Op::kCreateTemp, path_, errno);
      }
      // The holder before us may have deleted the file between our open and our lock; the lock
      // only counts on the file that the name still refers to.
      struct stat by_fd {
      }, by_name{};
      if (::fstat(fd_.get(), &by_fd) != 0) throw FileError(Op::kCreateTemp, path_, errno);
      if (::stat(path_.c_str(), &by_name) == 0 && by_name.st_dev == by_fd.st_dev &&
          by_name.st_ino == by_fd.st_ino) {
        empty = by_fd.st_size == 0;
        break;
      }
    }
    // Only a file left by an earlier run needs emptying. Truncating a new, empty file is not
    // free: some file systems then write its content out on close, although it is deleted.
    if (!empty && ::ftruncate(fd_.get(), 0) != 0) throw FileError(Op::kCreateTemp, path_, errno);
    sink_ = std::make_unique<FdSink>(fd_.get(), path_);
  }

  ~PosixTempFile() override {
    if (fd_.get() >= 0) ::unlink(path_.c_str());  // we hold the lock, so the name is ours
  }

  ByteSink& Writer() override { return *sink_; }

  void FinishWriting() override { sink_->Flush(); }

  void CopyOver(const std::string& page) override {
    // A link keeps pointing at the page: the file it leads to is the one replaced.
    char resolved[PATH_MAX];
    if (::realpath(page.c_str(), resolved) == nullptr)
      throw FileError(Op::kReplace, page, errno, path_);
    const std::string target = resolved;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) throw FileError(Op::kReplace, page, errno, path_);

    // The new content is written beside the page and renamed over it, so the page holds its old
    // content or the new one at every moment, also when the disk fills up or we are killed.
    const std::string dir = DirectoryOf(target);
    std::string side = dir + "/." + BaseNameOf(target) + ".slimtag-XXXXXX";
    Fd out(::mkstemp(side.data()));
    if (out.get() < 0) throw FileError(Op::kReplace, page, errno, path_);
    auto fail = [&](int err) {
      out.Reset();
      ::unlink(side.c_str());
      throw FileError(Op::kReplace, page, err, path_);
    };
    bool read_failed = false;
    if (const int err = CopyContents(fd_.get(), out.get(), &read_failed)) fail(err);
    // The owner first: a change of owner clears the set-user-ID and set-group-ID bits.
    if (::fchown(out.get(), st.st_uid, st.st_gid) != 0) {
      // Only the owner's group may differ for an ordinary user; that is not worth stopping for.
    }
    if (::fchmod(out.get(), st.st_mode & 07777) != 0) fail(errno);
    if (::fsync(out.get()) != 0) fail(errno);
    if (const int err = out.Close()) fail(err);
    // The content is on the disk before the rename, so the page never comes back empty after a
    // crash. The folder itself is not synced: until its entry is, a crash leaves the old page,
    // which is as safe and saves a journal flush per page.
    if (::rename(side.c_str(), target.c_str()) != 0) fail(errno);
  }

  void Delete() override {
    if (::unlink(path_.c_str()) != 0) throw FileError(Op::kDeleteTemp, path_, errno);
    fd_.Reset();
  }

 private:
  std::string path_;
  Fd fd_;
  std::unique_ptr<FdSink> sink_;
};

}  // namespace

std::string PosixPlatform::TimeOfDayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[128];
  const std::size_t n = std::strftime(text, sizeof text, "%X", &local);
  return std::string(text, n);
}

bool PosixPlatform::CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  if (errno == EEXIST) return false;
  throw FileError(Op::kCreateFolder, path, errno);
}

void PosixPlatform::CopyFile(const std::string& from, const std::string& to) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw FileError(Op::kBackup, from, errno, to);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) throw FileError(Op::kBackup, from, errno, to);
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777));
  if (out.get() < 0) throw FileError(Op::kBackup, from, errno, to);
  bool read_failed = false;
  // The mode given to open is cut by the umask.
  int err = ::fchmod(out.get(), st.st_mode & 07777) != 0 ? errno : 0;
  if (err == 0) err = CopyContents(in.get(), out.get(), &read_failed);
  if (err == 0) err = out.Close();
  if (err != 0) {
    out.Reset();
    ::unlink(to.c_str());
    throw FileError(Op::kBackup, from, err, to);
  }
}

std::unique_ptr<ByteSource> PosixPlatform::OpenRead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError(Op::kOpen, path, errno);
  auto source = std::make_unique<FdSource>(fd, path);
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw FileError(Op::kOpen, path, errno);
  if (S_ISDIR(st.st_mode)) throw FileError(Op::kOpen, path, EISDIR);
  return source;
}

std::uint64_t PosixPlatform::FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) throw FileError(Op::kSize, path, errno);
  return static_cast<std::uint64_t>(st.st_size);
}

std::unique_ptr<TempFile> PosixPlatform::CreateTempFile(const std::string& path) {
  return std::make_unique<PosixTempFile>(path);
}

}  // namespace slimtag
