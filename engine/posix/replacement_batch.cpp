#include "posix/replacement_batch.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <random>
#include <set>

#include "posix/page_replacement.h"
#include "posix/side_files.h"

namespace slimtag::posix {

namespace {

using Op = FileError::Operation;

// A batch is committed when it holds this many bytes, or as many pages and backup copies as the
// descriptors allowed to the process leave room for (two each: the page or the backup folder,
// and the new file).
constexpr std::uint64_t kMaxBytes = std::uint64_t(256) << 20;

std::size_t MaxPages() {
  static const std::size_t max = [] {
    struct rlimit limit {};
    rlim_t open_files = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
      open_files = limit.rlim_cur;
    }
    return std::clamp<std::size_t>(open_files > 128 ? (open_files - 128) / 2 : 0, 16, 4096);
  }();
  return max;
}

std::string SideName() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::minstd_rand random(std::random_device{}());
  std::string name(kSideFilePrefix);
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name + std::string(kPartSuffix);
}

// Moves the temporary file into the page's folder under a free side name; no descriptor when it
// cannot be moved there (another file system) and must be copied.
Fd MoveBeside(const PosixPage& page, int temp, const struct stat& ours,
              const std::string& temp_path, std::string& name) {
#ifdef RENAME_NOREPLACE
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = SideName();
    if (::renameat2(AT_FDCWD, temp_path.c_str(), page.Folder(), name.c_str(), RENAME_NOREPLACE) !=
        0) {
      if (errno == EEXIST) continue;
      return Fd();
    }
    // The working directory may be shared: only our own locked file may go on to the page.
    struct stat moved {};
    if (::fstatat(page.Folder(), name.c_str(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
        FileStamp::Of(ours).SameFile(moved)) {
      return Fd(::fcntl(temp, F_DUPFD_CLOEXEC, 0));
    }
    ::renameat2(page.Folder(), name.c_str(), AT_FDCWD, temp_path.c_str(), RENAME_NOREPLACE);
    return Fd();
  }
#else
  (void)page, (void)temp, (void)ours, (void)temp_path, (void)name;
#endif
  return Fd();
}

// Gives from the name to, never over an existing file.
int RenameNoReplace(int dir, const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // A file system without that rename: a second name, then the passing one goes.
  if (::linkat(dir, from.c_str(), dir, to.c_str(), 0) != 0) return errno;
  ::unlinkat(dir, from.c_str(), 0);
  return 0;
}

}  // namespace

struct ReplacementBatch::Prepared {
  std::unique_ptr<PosixPage> page;
  int folder = -1;  // the page's folder, while the page is held
  Fd side;
  struct stat side_file {};
  std::string side_name;
  std::string temp_path;

  void Drop() {
    side.Reset();
    ::unlinkat(folder, side_name.c_str(), 0);
  }
};

ReplacementBatch::ReplacementBatch() = default;

ReplacementBatch::~ReplacementBatch() {
  Discard();
}

void ReplacementBatch::Discard() {
  for (auto& p : prepared_) p->Drop();
  prepared_.clear();
  for (Backup& b : backups_) ::unlinkat(b.folder.get(), b.passing.c_str(), 0);
  backups_.clear();
  bytes_ = 0;
}

void ReplacementBatch::AddBackup(Backup backup) {
  backups_.push_back(std::move(backup));
  if (prepared_.size() + backups_.size() >= MaxPages()) Commit();
}

std::uint64_t ReplacementBatch::Replace(PosixPage& page, int temp, const std::string& temp_path,
                                        bool* moved) {
  struct stat content {};
  if (::fstat(temp, &content) != 0) throw FileError(Op::kReplace, page.Path(), errno, temp_path);
  // Whether the page is still the file that was read is asked just before it is replaced.
  const struct stat& st = page.Opened();
  if (st.st_nlink == 1 && CanGiveOwnership(st.st_uid, st.st_gid)) {
    auto p = std::make_unique<Prepared>();
    p->temp_path = temp_path;
    p->folder = page.Folder();
    const auto fail = [&](int err) {
      p->Drop();
      throw FileError(Op::kReplace, page.Path(), err, temp_path);
    };
    struct stat made = content;
    if (!*moved) {
      p->side = MoveBeside(page, temp, content, temp_path, p->side_name);
      *moved = static_cast<bool>(p->side);
    }
    if (!p->side) {
      p->side = CreateLockedFile(page.Folder(), kSideFilePrefix, kPartSuffix, p->side_name, 0600);
      if (!p->side) throw FileError(Op::kReplace, page.Path(), errno, temp_path);
      if (const int err = CopyFrom(temp, 0, p->side.get(), 0)) fail(err);
      if (::fstat(p->side.get(), &made) != 0) fail(errno);
    }
    p->side_file = made;
    const int side = p->side.get();
    // The owner first: a change of owner clears the set-ID bits.
    if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
        ::fchown(side, st.st_uid, st.st_gid) != 0) {
      fail(errno);
    }
    if (CopyAttributes(page.Descriptor(), side)) {
      // After the access list: the mode's group bits are the list's mask, as on the page.
      if (::fchmod(side, st.st_mode & 07777) != 0) fail(errno);
      page.MarkRewritten(st);
      p->page = std::make_unique<PosixPage>(std::move(page));
      bytes_ += static_cast<std::uint64_t>(content.st_size);
      prepared_.push_back(std::move(p));
      if (prepared_.size() + backups_.size() >= MaxPages() || bytes_ >= kMaxBytes) Commit();
      return static_cast<std::uint64_t>(content.st_size);
    }
    // A new file could not be given the page's attributes: the page's own file keeps them.
    p->Drop();
  }
  Commit();  // the pages before this one are replaced first, in list order
  return ReplaceInPlace(page, temp, content.st_size, temp_path);
}

void ReplacementBatch::Commit() {
  if (prepared_.empty() && backups_.empty()) return;
  // One sync per file system makes every new file of the batch durable before any rename.
  int err = 0;
  if (prepared_.size() + backups_.size() == 1) {
    const int only = prepared_.empty() ? backups_[0].file.get() : prepared_[0]->side.get();
    if (::fsync(only) != 0) err = errno;
  } else {
    std::set<dev_t> synced;
    const auto sync = [&](int fd, dev_t dev) {
      if (synced.insert(dev).second && ::syncfs(fd) != 0) err = errno;
    };
    for (const Backup& b : backups_) {
      struct stat st {};
      if (::fstat(b.file.get(), &st) != 0) {
        err = errno;
      } else {
        sync(b.file.get(), st.st_dev);
      }
    }
    // A new file's file system is known from when it was made.
    for (const auto& p : prepared_) sync(p->side.get(), p->side_file.st_dev);
  }
  std::size_t backups_done = 0;
  std::size_t done = 0;
  try {
    if (err != 0 && !backups_.empty()) {
      throw FileError(Op::kBackup, backups_[0].page, err, backups_[0].copy);
    }
    if (err != 0) {
      throw FileError(Op::kReplace, prepared_[0]->page->Path(), err, prepared_[0]->temp_path);
    }
    // The copies before their pages: a page is never replaced before its backup has its name.
    for (; backups_done < backups_.size(); ++backups_done) {
      const Backup& b = backups_[backups_done];
      if (const int e = RenameNoReplace(b.folder.get(), b.passing, b.name)) {
        throw FileError(Op::kBackup, b.page, e, b.copy);
      }
    }
    for (; done < prepared_.size(); ++done) {
      Prepared& p = *prepared_[done];
      p.page->CheckUnchanged();
      if (::renameat(p.page->Folder(), p.side_name.c_str(), p.page->Folder(),
                     p.page->Name().c_str()) != 0) {
        throw FileError(Op::kReplace, p.page->Path(), errno, p.temp_path);
      }
      p.page->MarkRewritten(p.side_file);
    }
  } catch (const FileError&) {
    for (std::size_t i = backups_done; i < backups_.size(); ++i) {
      ::unlinkat(backups_[i].folder.get(), backups_[i].passing.c_str(), 0);
    }
    for (std::size_t i = done; i < prepared_.size(); ++i) prepared_[i]->Drop();
    backups_.clear();
    prepared_.clear();
    bytes_ = 0;
    throw;
  }
  backups_.clear();
  prepared_.clear();
  bytes_ = 0;
}

}  // namespace slimtag::posix
