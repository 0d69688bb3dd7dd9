#include "posix/temp_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace slimtag::posix {

namespace {
using Op = FileError::Operation;
}  // namespace

void TempFileSink::Write(std::string_view bytes) {
  // A long line (a whole page, where it ends its lines with LF alone) goes to the file as it is:
  // copying it into the block first would cost more than a second write.
  if (bytes.size() >= kDirect || buffer_.size() + bytes.size() > kSize) {
    if (!buffer_.empty()) Flush();
    if (bytes.size() >= kDirect) {
      Check(WriteAll(fd_, bytes.data(), bytes.size()));
      return;
    }
  }
  buffer_.append(bytes);
}

void TempFileSink::WriteLine(std::string_view line, std::string_view terminator) {
  if (line.size() < kDirect) {
    Write(line);
    Write(terminator);
    return;
  }
  if (!buffer_.empty()) Flush();
  Check(WriteAll(fd_, line, terminator));
}

void TempFileSink::Flush() {
  Check(WriteAll(fd_, buffer_.data(), buffer_.size()));
  buffer_.clear();
}

void TempFileSink::Check(int err) {
  if (err != 0) throw FileError(Op::kWriteTemp, path_, err);
}

PosixTempFile::PosixTempFile(std::string path, ReplacementBatch& batch, std::string& buffer)
    : path_(std::move(path)), batch_(batch), buffer_(buffer) {
  bool empty = false;
  for (;;) {
    // Never through a link: a link of that name planted in a shared working directory would
    // otherwise make the run empty the file it leads to.
    fd_.Reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (!fd_) {
      if (errno == ELOOP) throw FileError(Op::kTempUnsafe, path_, 0);
      throw FileError(Op::kCreateTemp, path_, errno);
    }
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) throw FileError(Op::kTempLocked, path_, 0);
      throw FileError(Op::kCreateTemp, path_, errno);
    }
    // The holder before us may have deleted the file between our open and our lock; the lock
    // only counts on the file that the name still refers to.
    struct stat by_fd {
    }, by_name{};
    if (::fstat(fd_.get(), &by_fd) != 0) throw FileError(Op::kCreateTemp, path_, errno);
    if (::lstat(path_.c_str(), &by_name) == 0 && FileStamp::Of(by_fd).SameFile(by_name)) {
      // Only a plain file of ours with no other name may be emptied and written.
      if (!S_ISREG(by_fd.st_mode) || by_fd.st_uid != ::geteuid() || by_fd.st_nlink != 1) {
        fd_.Reset();
        throw FileError(Op::kTempUnsafe, path_, 0);
      }
      // It may become a page's new file by a rename: nobody else reads it before it has the
      // page's mode.
      if ((by_fd.st_mode & 0777) != 0600 && ::fchmod(fd_.get(), 0600) != 0) {
        throw FileError(Op::kCreateTemp, path_, errno);
      }
      empty = by_fd.st_size == 0;
      break;
    }
  }
  // Only a file left by an earlier run needs emptying. Truncating a new, empty file is not
  // free: some file systems then write its content out on close, although it is deleted.
  if (!empty && ::ftruncate(fd_.get(), 0) != 0) throw FileError(Op::kCreateTemp, path_, errno);
  sink_ = std::make_unique<TempFileSink>(fd_.get(), path_, buffer_);
}

PosixTempFile::~PosixTempFile() {
  if (fd_ && !moved_) ::unlink(path_.c_str());  // we hold the lock, so the name is ours
}

std::uint64_t PosixTempFile::CopyOver(Page& page) {
  auto* posix_page = dynamic_cast<PosixPage*>(&page);
  if (posix_page == nullptr) throw std::logic_error("a page of another platform");
  return batch_.Replace(*posix_page, fd_.get(), path_, &moved_);
}

void PosixTempFile::Delete() {
  if (!moved_ && ::unlink(path_.c_str()) != 0) throw FileError(Op::kDeleteTemp, path_, errno);
  fd_.Reset();
}

}  // namespace slimtag::posix
