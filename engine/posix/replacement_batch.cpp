#include "replacement_batch.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "page_replacement.h"
#include "side_files.h"
#include "step_hook.h"

namespace slimtag::posix {

namespace {

using Op = FileError::Operation;

// A batch is committed when it holds this many bytes, or as many pages and backup copies as the
// descriptors left to the process make room for (two each: the page or the backup folder, and the
// new file; for two batches, the one being committed and the next).
constexpr std::uint64_t kMaxBytes = std::uint64_t(128) << 20;
constexpr std::size_t kMostFiles = 4096;
// Descriptors kept free for the run's folders, its temporary file and lock, and the folder watch.
constexpr std::size_t kRunsOwnFiles = 16;
// The commit thread takes a batch as soon as it is free once the batch holds this much: every
// sync flushes the disk's cache, so a batch must be worth one.
constexpr std::size_t kHandOffFiles = 16;
constexpr std::uint64_t kHandOffBytes = std::uint64_t(1) << 20;
// A sync that takes longer waited for a device.
constexpr auto kDeviceWait = std::chrono::milliseconds(1);

// How many descriptors the process holds now; where that cannot be told, a window's usual share.
std::size_t OpenNow() {
  std::size_t open = 0;
  if (DIR* listing = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(listing)) open += entry->d_name[0] != '.';
    ::closedir(listing);
    return open;
  }
  return 128;
}

// The pages and copies a batch may hold under the process's descriptor limit, down to one.
std::size_t MaxFiles() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur / 4 > kMostFiles + 1024) {
    return kMostFiles;
  }
  const auto max = static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t used = OpenNow() + kRunsOwnFiles;
  return std::clamp<std::size_t>(max > used ? (max - used) / 4 : 0, 1, kMostFiles);
}

// Moves the working directory's temporary file into the page's folder under a free side name; no
// descriptor when it cannot be moved there (another file system) and must be copied.
Fd MoveBeside(const PosixPage& page, const ContentFile& file, const struct stat& ours,
              std::string& name) {
#ifdef RENAME_NOREPLACE
  const std::string& temp_path = file.name;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = RandomName(kSideFilePrefix, kPartSuffix);
    if (::renameat2(file.dir, temp_path.c_str(), page.Folder(), name.c_str(), RENAME_NOREPLACE) !=
        0) {
      if (errno == EEXIST) continue;
      return Fd();
    }
    // The working directory may be shared: only our own locked file may go on to the page.
    struct stat moved {};
    if (::fstatat(page.Folder(), name.c_str(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
        FileStamp::Of(ours).SameFile(moved)) {
      return Fd(::fcntl(file.fd.get(), F_DUPFD_CLOEXEC, 0));
    }
    ::renameat2(page.Folder(), name.c_str(), file.dir, temp_path.c_str(), RENAME_NOREPLACE);
    return Fd();
  }
#else
  (void)page, (void)file, (void)ours, (void)name;
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
  if (::linkat(dir, from.c_str(), dir, to.c_str(), 0) == 0) {
    ::unlinkat(dir, from.c_str(), 0);
    return 0;
  }
  // Nor hard links (exFAT, FAT): a rename where the name is free. The folder is the run's own
  // backup folder, which no one else writes in.
  if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  struct stat there {};
  if (::fstatat(dir, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return ::renameat(dir, from.c_str(), dir, to.c_str()) == 0 ? 0 : errno;
}

// Whether one syncfs makes a file system's files durable. Only local file systems whose sync
// reaches their storage are trusted with it: FUSE gets no sync from the kernel at all (sshfs,
// rclone, NTFS through fuseblk), and CIFS only flushes on fsync.
bool SyncfsReachesStorage(int fd) {
#ifdef __linux__
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<std::uint64_t>(fs.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // XFS
    case 0x9123683E:  // Btrfs
    case 0xF2F52010:  // F2FS
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
    case 0x3153464A:  // JFS
    case 0x52654973:  // ReiserFS
    case 0xCA451A4E:  // bcachefs
    case 0x3434:      // NILFS
    case 0x2FC12FC1:  // ZFS
    case 0x6969:      // NFS, which commits on syncfs
      return true;
    default:
      return false;
  }
#else
  (void)fd;
  return false;
#endif
}

// Makes each file durable with its own fsync, the writeback of all of them started first so
// that the device sees one stream rather than one flush per file in turn.
int SyncEach(const std::vector<int>& files) {
#ifdef __linux__
  for (const int fd : files) ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  for (const int fd : files) {
    if (::fsync(fd) != 0) return errno;
  }
  return 0;
}

}  // namespace

struct ReplacementBatch::Prepared {
  std::unique_ptr<PosixPage> page;
  int folder = -1;  // the page's folder, while the page is held
  Fd side;
  struct stat side_file {};
  std::string side_name;
  std::string content_path;  // the content's file before it came here, for warnings

  void Drop() {
    side.Reset();
    ::unlinkat(folder, side_name.c_str(), 0);
  }
};

ReplacementBatch::ReplacementBatch() : max_files_(MaxFiles()) {}

ReplacementBatch::~ReplacementBatch() {
  Discard();
}

void ReplacementBatch::Drop(Batch& batch) {
  for (auto& p : batch.prepared) p->Drop();
  for (Backup& b : batch.backups) ::unlinkat(b.folder->get(), b.passing.c_str(), 0);
  batch = Batch{};
}

void ReplacementBatch::Discard() {
  committer_.Wait();
  committer_.TakeFailure();
  Drop(batch_);
}

void ReplacementBatch::BeginRun() {
  committer_.Wait();
  max_files_ = MaxFiles();
  state_.sync_waits.store(false, std::memory_order_release);
  state_.replaced.store(0, std::memory_order_release);
  const std::lock_guard lock(state_.mutex);
  state_.renamed_in.clear();
}

void ReplacementBatch::ThrowCommitFailure() {
  if (const std::exception_ptr failure = committer_.TakeFailure()) {
    Drop(batch_);
    std::rethrow_exception(failure);
  }
}

void ReplacementBatch::HandOff() {
  committer_.Wait();
  ThrowCommitFailure();
  // Shared, as the job must be copyable; released on the commit thread with the job. Everything
  // that may run out of memory comes first: the batch moves over only once nothing can fail, so
  // it is never lost on the way.
  auto batch = std::make_shared<Batch>();
  std::function<void()> job = [batch, state = &state_] { CommitBatch(*batch, *state); };
  *batch = std::exchange(batch_, Batch{});
  committer_.Post(std::move(job));
}

void ReplacementBatch::HandOffWhenDue() {
  const bool full = batch_.Files() >= max_files_ || batch_.bytes >= kMaxBytes;
  const bool due = batch_.Files() >= kHandOffFiles && batch_.bytes >= kHandOffBytes;
  if (!full && !due) return;
  if (!state_.sync_waits.load(std::memory_order_acquire)) {
    // No sync has waited for a device yet (and none does on a file system in memory): the batch
    // is committed here. A second thread pays only for the device's time; without it, its
    // renames and closes beside the run slow both down (a tenth of a run on tmpfs).
    Commit();
  } else if (full || committer_.Idle()) {
    HandOff();
  }
}

void ReplacementBatch::AddBackup(Backup backup) {
  batch_.backups.push_back(std::move(backup));
  HandOffWhenDue();
}

void ReplacementBatch::PlaceBeside(const PosixPage& page, ContentFile& file,
                                   const struct stat& content, Prepared& p) {
  const std::string& temp_path = file.path;
  const auto fail = [&](int err) {
    p.Drop();
    throw FileError(Op::kReplace, page.Path(), err, temp_path);
  };
  p.side_file = content;
  if (file.beside) {
    // Written where it goes: the batch names it, or drops it, and holds its descriptor.
    p.side = std::move(file.fd);
    p.side_name = file.name;
    file.gone = true;
    return;
  }
  p.side = MoveBeside(page, file, content, p.side_name);
  file.gone = static_cast<bool>(p.side);
  if (p.side) return;
  p.side = CreateLockedFile(page.Folder(), kSideFilePrefix, kPartSuffix, p.side_name, 0600);
  if (!p.side) throw FileError(Op::kReplace, page.Path(), errno, temp_path);
  if (const int err = CopyFrom(file.fd.get(), 0, p.side.get(), 0)) fail(err);
  if (::fstat(p.side.get(), &p.side_file) != 0) fail(errno);
}

std::uint64_t ReplacementBatch::Replace(std::unique_ptr<PosixPage> page, ContentFile& file) {
  if (committer_.Failed()) {
    committer_.Wait();
    ThrowCommitFailure();
  }
  const int temp = file.fd.get();
  const std::string& temp_path = file.path;
  struct stat content {};
  if (::fstat(temp, &content) != 0) throw FileError(Op::kReplace, page->Path(), errno, temp_path);
  // Whether the page is still the file that was read is asked just before it is replaced.
  const struct stat& st = page->Opened();
  if (st.st_nlink == 1 && CanGiveOwnership(page->RunUser(), st.st_uid, st.st_gid)) {
    auto p = std::make_unique<Prepared>();
    p->content_path = temp_path;
    p->folder = page->Folder();
    const auto fail = [&](int err) {
      p->Drop();
      throw FileError(Op::kReplace, page->Path(), err, temp_path);
    };
    PlaceBeside(*page, file, content, *p);
    const struct stat& made = p->side_file;
    const int side = p->side.get();
    // The owner first: a change of owner clears the set-ID bits.
    if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
        ::fchown(side, st.st_uid, st.st_gid) != 0) {
      fail(errno);
    }
    if (CopyAttributes(page->Descriptor(), side)) {
      // After the access list: the mode's group bits are the list's mask, as on the page.
      if (const int err = SetMode(side, st.st_mode & 07777)) fail(err);
      // Both files at once: the page's new one is known already, and the commit thread must not
      // touch what the run shares.
      page->MarkRewritten(made);
      p->page = std::move(page);
      batch_.bytes += static_cast<std::uint64_t>(content.st_size);
      batch_.prepared.push_back(std::move(p));
      HandOffWhenDue();
      return static_cast<std::uint64_t>(content.st_size);
    }
    // A new file could not be given the page's attributes: the page's own file keeps them. The
    // content is read from its descriptor, whatever became of its name.
    if (file.beside) file.fd = std::move(p->side);
    p->Drop();
  }
  Commit();  // the pages before this one are replaced first, in list order
  const std::uint64_t size = ReplaceInPlace(*page, temp, content.st_size, temp_path);
  state_.replaced.fetch_add(1, std::memory_order_acq_rel);
  return size;
}

void ReplacementBatch::Commit() {
  committer_.Wait();
  ThrowCommitFailure();
  CommitBatch(batch_, state_);
}

void ReplacementBatch::MakeNamesDurable() {
  committer_.Wait();
  std::map<const Fd*, std::pair<std::shared_ptr<const Fd>, std::string>> folders;
  {
    const std::lock_guard lock(state_.mutex);
    folders.swap(state_.renamed_in);
  }
  // One syncfs a file system where it reaches the storage, else each folder's own fsync.
  std::set<dev_t> synced;
  for (const auto& [key, folder] : folders) {
    const int fd = folder.first->get();
    struct stat st {};
    int err = ::fstat(fd, &st) != 0 ? errno : 0;
    if (err == 0 && SyncfsReachesStorage(fd)) {
      if (synced.insert(st.st_dev).second && ::syncfs(fd) != 0) err = errno;
    } else if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL) {
      err = errno;  // EINVAL: a folder that cannot be synced by itself
    }
    if (err != 0) throw FileError(Op::kSyncFolder, folder.second, err);
  }
}

int ReplacementBatch::MakeDurable(const Batch& batch) {
  if (batch.Files() == 1) {
    const int only =
        batch.prepared.empty() ? batch.backups[0].file.get() : batch.prepared[0]->side.get();
    return ::fsync(only) == 0 ? 0 : errno;
  }
  // The new files by file system: one syncfs where it reaches the storage, else one fsync each.
  std::map<dev_t, std::vector<int>> by_device;
  for (const Backup& b : batch.backups) {
    struct stat st {};
    if (::fstat(b.file.get(), &st) != 0) return errno;
    by_device[st.st_dev].push_back(b.file.get());
  }
  // A new file's file system is known from when it was made.
  for (const auto& p : batch.prepared) by_device[p->side_file.st_dev].push_back(p->side.get());
  for (const auto& [device, files] : by_device) {
    const int err =
        SyncfsReachesStorage(files[0]) ? (::syncfs(files[0]) == 0 ? 0 : errno) : SyncEach(files);
    if (err != 0) return err;
  }
  return 0;
}

bool ReplacementBatch::PutInPlace(Prepared& p) {
  const int dir = p.page->Folder();
  const char* side = p.side_name.c_str();
  const char* name = p.page->Name().c_str();
#ifdef RENAME_EXCHANGE
  // Exchanged, the page's old name holds the new file and the side name what stood under the
  // page's name until now: an editor's save by rename after the last check is seen there and
  // gets its name back, where a plain rename would have removed it.
  if (::renameat2(dir, side, dir, name, RENAME_EXCHANGE) == 0) {
    struct stat replaced {};
    if (::fstatat(dir, side, &replaced, AT_SYMLINK_NOFOLLOW) == 0 &&
        p.page->IsTheFileRead(replaced)) {
      ::unlinkat(dir, side, 0);
      return true;
    }
    if (::renameat2(dir, side, dir, name, RENAME_EXCHANGE) != 0) {
      // The other program's file stays under the side name rather than be dropped with it.
      const int err = errno;
      const std::string kept = JoinPath(DirectoryOf(p.page->Path()), p.side_name);
      p.side_name.clear();
      throw FileError(Op::kReplace, p.page->Path(), err, kept);
    }
    throw FileError(Op::kChanged, p.page->Path(), 0);
  }
  // The name gone since the check: deleted by another program, which the run does not undo.
  if (errno == ENOENT) throw FileError(Op::kChanged, p.page->Path(), 0);
  // Elsewhere (a file system that cannot exchange names) the check before stands alone.
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    throw FileError(Op::kReplace, p.page->Path(), errno, p.content_path);
  }
#endif
  if (::renameat(dir, side, dir, name) != 0) {
    throw FileError(Op::kReplace, p.page->Path(), errno, p.content_path);
  }
  return false;
}

void ReplacementBatch::CommitBatch(Batch& batch, CommitState& state) {
  auto& prepared = batch.prepared;
  auto& backups = batch.backups;
  if (prepared.empty() && backups.empty()) return;
  const auto sync_start = std::chrono::steady_clock::now();
  const int err = MakeDurable(batch);
  state.sync_waits.store(std::chrono::steady_clock::now() - sync_start >= kDeviceWait,
                         std::memory_order_release);
  ReachStep(Step::kBatchDurable);
  const auto renamed_in = [&state](const std::shared_ptr<const Fd>& folder, std::string path) {
    const std::lock_guard lock(state.mutex);
    state.renamed_in.try_emplace(folder.get(), folder, std::move(path));
  };
  std::size_t backups_done = 0;
  std::size_t done = 0;
  try {
    if (err != 0 && !backups.empty()) {
      throw FileError(Op::kBackup, backups[0].page, err, backups[0].copy);
    }
    if (err != 0) {
      throw FileError(Op::kReplace, prepared[0]->page->Path(), err, prepared[0]->content_path);
    }
    // The copies before their pages: a page is never replaced before its backup has its name.
    for (; backups_done < backups.size(); ++backups_done) {
      const Backup& b = backups[backups_done];
      if (const int e = RenameNoReplace(b.folder->get(), b.passing, b.name)) {
        throw FileError(Op::kBackup, b.page, e, b.copy);
      }
      renamed_in(b.folder, b.folder_path);
    }
    for (; done < prepared.size(); ++done) {
      Prepared& p = *prepared[done];
      const dev_t device = p.page->Opened().st_dev;
      const auto known = state.exchange_checks_name.find(device);
      p.page->CheckUnchanged(known == state.exchange_checks_name.end() || !known->second);
      ReachStep(Step::kPageChecked);
      const bool exchanged = PutInPlace(p);
      if (known == state.exchange_checks_name.end()) {
        state.exchange_checks_name.emplace(device, exchanged && !OnOverlay(p.page->Folder()));
      }
      state.replaced.fetch_add(1, std::memory_order_acq_rel);
      renamed_in(p.page->SharedFolder(), DirectoryOf(p.page->Path()));
    }
  } catch (const FileError&) {
    for (std::size_t i = backups_done; i < backups.size(); ++i) {
      ::unlinkat(backups[i].folder->get(), backups[i].passing.c_str(), 0);
    }
    for (std::size_t i = done; i < prepared.size(); ++i) prepared[i]->Drop();
    batch = Batch{};
    throw;
  }
  batch = Batch{};
}

}  // namespace slimtag::posix
