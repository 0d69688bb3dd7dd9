#include "new_content.h"

#include "replacement_batch.h"
#include "side_files.h"

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
  // A page too large for the process's file size limit (ulimit -f) is the page's failure.
  if (err == EFBIG) throw FileError(Op::kReplace, page_, err, path_);
  if (err != 0) throw FileError(Op::kWriteTemp, path_, err);
}

Fd HoldOwnFile(const std::string& path, const std::string& busy_path, bool& empty, uid_t me) {
  for (;;) {
    // Never through a link: a link of that name planted in a shared working directory would
    // otherwise make the run empty the file it leads to.
    Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (!fd) {
      if (errno == ELOOP) throw FileError(Op::kTempUnsafe, path, 0);
      throw FileError(Op::kCreateTemp, path, errno);
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) throw FileError(Op::kTempLocked, busy_path, 0);
      throw FileError(Op::kCreateTemp, path, errno);
    }
    // The holder before us may have deleted the file between our open and our lock; the lock
    // only counts on the file that the name still refers to.
    struct stat by_fd {
    }, by_name{};
    if (::fstat(fd.get(), &by_fd) != 0) throw FileError(Op::kCreateTemp, path, errno);
    if (::lstat(path.c_str(), &by_name) != 0 || !FileStamp::Of(by_fd).SameFile(by_name)) continue;
    // Only a plain file of ours with no other name may be emptied and written.
    if (!S_ISREG(by_fd.st_mode) || by_fd.st_uid != me || by_fd.st_nlink != 1) {
      throw FileError(Op::kTempUnsafe, path, 0);
    }
    // It may become a page's new file by a rename: nobody else reads it before it has the
    // page's mode.
    if ((by_fd.st_mode & 0777) != 0600 && ::fchmod(fd.get(), 0600) != 0) {
      throw FileError(Op::kCreateTemp, path, errno);
    }
    empty = by_fd.st_size == 0;
    return fd;
  }
}

PosixNewContent::PosixNewContent(PosixPage& page, RunFiles& run_files)
    : page_(page), batch_(*run_files.batch) {
  if (run_files.temp_path.empty()) {
    file_.dir = page.Folder();
    file_.beside = true;
    file_.fd = CreateLockedFile(file_.dir, kSideFilePrefix, kPartSuffix, file_.name, 0600);
    file_.path = JoinPath(page.FolderPath(), file_.name);
    if (!file_.fd) throw FileError(Op::kCreateTemp, file_.path, errno);
  } else if (!MoveInFromBeside(run_files)) {
    file_.path = file_.name = run_files.temp_path;
    bool empty = false;
    file_.fd = HoldOwnFile(file_.path, file_.path, empty, run_files.user);
    // Only a file left by an earlier run needs emptying. Truncating a new, empty file is not
    // free: some file systems then write its content out on close, although it is deleted.
    if (!empty && ::ftruncate(file_.fd.get(), 0) != 0) {
      throw FileError(Op::kCreateTemp, file_.path, errno);
    }
  }
  sink_ = std::make_unique<TempFileSink>(file_.fd.get(), file_.path, page.Path(),
                                         run_files.write_buffer);
}

bool PosixNewContent::MoveInFromBeside(RunFiles& run_files) {
#ifdef RENAME_NOREPLACE
  const dev_t device = page_.Opened().st_dev;
  if (run_files.temp_made_in_place.count(device) != 0) return false;
  std::string side;
  Fd fd = CreateLockedFile(page_.Folder(), kSideFilePrefix, kPartSuffix, side, 0600);
  if (!fd) return false;
  // Never over a file of that name: one that appeared since the run began is dealt with as it
  // is where the file is made in the working directory.
  if (::renameat2(page_.Folder(), side.c_str(), AT_FDCWD, run_files.temp_path.c_str(),
                  RENAME_NOREPLACE) != 0) {
    const int err = errno;
    ::unlinkat(page_.Folder(), side.c_str(), 0);
    if (err == EXDEV || err == EINVAL || err == ENOSYS) run_files.temp_made_in_place.insert(device);
    return false;
  }
  file_.path = file_.name = run_files.temp_path;
  file_.fd = std::move(fd);
  return true;
#else
  (void)run_files;
  return false;
#endif
}

PosixNewContent::~PosixNewContent() {
  // We hold the lock, so the name is ours.
  if (file_.fd && !file_.gone) ::unlinkat(file_.dir, file_.name.c_str(), 0);
}

std::uint64_t PosixNewContent::PutInPlace(std::unique_ptr<Page> page) {
  // The page this content was started for, and no other: its owner hands it over here.
  if (page.get() != static_cast<Page*>(&page_)) throw std::logic_error("content of another page");
  // The same object, owned from here on as what it is.
  std::unique_ptr<PosixPage> own(&page_);
  static_cast<void>(page.release());
  const std::uint64_t size = batch_.Replace(std::move(own), file_);
  Delete();
  return size;
}

void PosixNewContent::Delete() {
  if (!file_.gone && ::unlinkat(file_.dir, file_.name.c_str(), 0) != 0) {
    throw FileError(Op::kDeleteTemp, file_.path, errno);
  }
  file_.gone = true;
  file_.fd.Reset();
}

}  // namespace slimtag::posix
