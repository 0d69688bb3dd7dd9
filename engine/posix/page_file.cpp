#include "page_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "new_content.h"

namespace slimtag::posix {

namespace {

using Op = FileError::Operation;

constexpr int kMaxLinks = 40;  // as the kernel allows in one path

// Reads from a shared descriptor at its own offset, so that readers of one page never disturb
// each other or the backup copy.
class PageSource : public ByteSource {
 public:
  PageSource(int fd, const std::string& path, off_t opened_size)
      : fd_(fd), path_(path), opened_size_(opened_size) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    // Only up to the size the page had when it was opened: a page that another program keeps
    // appending to would otherwise be read forever. A page that grew or shrank since fails the
    // check before it is replaced.
    for (;;) {
      const off_t left = opened_size_ - offset_;
      if (left <= 0) return 0;
      const ssize_t n =
          ::pread(fd_, buffer, std::min<std::uint64_t>(size, std::uint64_t(left)), offset_);
      if (n >= 0) {
        offset_ += n;
        if (n == 0) offset_ = opened_size_;  // shrunk: the check says so
        return static_cast<std::size_t>(n);
      }
      if (errno != EINTR) throw FileError(Op::kRead, path_, errno);
    }
  }

 private:
  int fd_;
  const std::string& path_;
  off_t opened_size_;
  off_t offset_ = 0;
};

// The target of a link, by its folder and name.
std::string ReadLink(int folder, const std::string& link, const std::string& path) {
  std::vector<char> target(256);
  for (;;) {
    const ssize_t n = ::readlinkat(folder, link.c_str(), target.data(), target.size());
    if (n < 0) throw FileError(Op::kOpen, path, errno);
    if (static_cast<std::size_t>(n) < target.size()) return std::string(target.data(), n);
    target.resize(target.size() * 2);
  }
}

}  // namespace

PosixPage::PosixPage(const PosixFolder& folder, const std::string& name, RunFiles& run_files)
    : path_(JoinPath(folder.Path(), name)), run_files_(run_files) {
  // Most pages are no link: the name is opened at once, and followed by hand only where the open
  // finds a link.
  std::vector<uid_t> link_owners;
  if (!OpenIn(folder, name)) {
    // Follow the page's own links by hand, noting who made each. The first is the page's name in
    // the folder held; the ones after it lead where they say.
    std::string at = path_;
    int dir = folder.get();
    std::string in_dir = name;
    for (;;) {
      struct stat st {};
      if (::fstatat(dir, in_dir.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        throw FileError(Op::kOpen, path_, errno);
      }
      if (!S_ISLNK(st.st_mode)) break;
      if (link_owners.size() == kMaxLinks) throw FileError(Op::kOpen, path_, ELOOP);
      link_owners.push_back(st.st_uid);
      const std::string target = ReadLink(dir, in_dir, path_);
      at = target.starts_with('/') ? target : DirectoryOf(at) + "/" + target;
      dir = AT_FDCWD;
      in_dir = at;
    }
    // The target's folder, held like the page's own.
    const std::string target_folder = DirectoryOf(at);
    if (!run_files_.link_folder || run_files_.link_folder->Path() != target_folder) {
      Fd opened(::open(target_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (!opened) throw FileError(Op::kOpen, path_, errno);
      const int watch = run_files_.watch.Add(opened.get());
      run_files_.link_folder =
          std::make_shared<PosixFolder>(target_folder, std::move(opened), watch);
    }
    // The name was no link a moment ago and must not have become one.
    if (!OpenIn(*run_files_.link_folder, BaseNameOf(at))) throw FileError(Op::kOpen, path_, ENOENT);
  }
  if (::fstat(fd_.get(), &opened_) != 0) throw FileError(Op::kOpen, path_, errno);
  const uid_t me = run_files_.user;
  for (const uid_t owner : link_owners) {
    if (owner != me && owner != opened_.st_uid) throw FileError(Op::kUntrustedLink, path_, 0);
  }
  if (S_ISDIR(opened_.st_mode)) throw FileError(Op::kOpen, path_, EISDIR);
  if (!S_ISREG(opened_.st_mode)) throw FileError(Op::kNotRegular, path_, 0);
  // The owner's write bit answers for the owner, whom no access list narrows; for anyone else
  // (groups, access lists, root) the kernel is asked.
  const bool owner_may_write = opened_.st_uid == me && (opened_.st_mode & S_IWUSR) != 0;
  if (!owner_may_write &&
      ::faccessat(folder_->get(), name_.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
    throw FileError(Op::kWriteProtected, path_, errno == EACCES ? 0 : errno);
  }
}

bool PosixPage::OpenIn(const PosixFolder& folder, const std::string& name) {
  folder_ = folder.Shared();
  folder_path_ = folder.Path();
  watch_ = folder.Watch();
  name_ = name;
  // Whatever another program writes to the page from here on shows when the page is replaced.
  mark_ = run_files_.watch.Mark();
  // O_NOFOLLOW: a link is followed by hand. O_NONBLOCK: a pipe put in the page's place must not
  // stop the run for good.
  fd_.Reset(::openat(folder_->get(), name_.c_str(),
                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd_) return true;
  if (errno == ELOOP) return false;
  throw FileError(Op::kOpen, path_, errno);
}

std::unique_ptr<ByteSource> PosixPage::Read() {
  return std::make_unique<PageSource>(fd_.get(), path_, opened_.st_size);
}

std::unique_ptr<NewContent> PosixPage::StartNewContent() {
  return std::make_unique<PosixNewContent>(*this, run_files_);
}

bool PosixPage::RewrittenEarlier() const {
  return run_files_.files.count({opened_.st_dev, opened_.st_ino}) != 0;
}

void PosixPage::CheckUnchanged(bool by_name) const {
  struct stat now {
  }, named{};
  if (::fstat(fd_.get(), &now) != 0) throw FileError(Op::kChanged, path_, errno);
  if (by_name && ::fstatat(folder_->get(), name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) throw FileError(Op::kChanged, path_, 0);
    throw FileError(Op::kChanged, path_, errno);
  }
  if (!(FileStamp::Of(now) == FileStamp::Of(opened_)) ||
      (by_name && !FileStamp::Of(opened_).SameFile(named)) ||
      run_files_.watch.ChangedSince(watch_, name_, mark_)) {
    throw FileError(Op::kChanged, path_, 0);
  }
}

bool PosixPage::IsTheFileRead(const struct stat& st) const {
  // Not its change time: the rename that moved it changed that.
  const FileStamp was = FileStamp::Of(opened_), now = FileStamp::Of(st);
  return now.size == was.size && now.mtime_ns == was.mtime_ns &&
         (was.SameFile(st) || OnOverlay(folder_->get()));
}

void PosixPage::MarkRewritten(const struct stat& now) {
  run_files_.files.insert({opened_.st_dev, opened_.st_ino});
  run_files_.files.insert({now.st_dev, now.st_ino});
}

}  // namespace slimtag::posix
