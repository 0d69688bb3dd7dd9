#include "posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <thread>

#include "new_content.h"
#include "page_file.h"
#include "page_replacement.h"
#include "replacement_batch.h"
#include "step_hook.h"

namespace slimtag {

namespace {

using Op = FileError::Operation;

const posix::PosixFolder& Held(const Folder& folder) {
  // Folders reach the platform only from the platform itself.
  return static_cast<const posix::PosixFolder&>(folder);
}

// Whether the folder holds nothing yet.
bool IsEmpty(int folder) {
  DIR* listing = ::fdopendir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (listing == nullptr) return false;
  bool empty = true;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      empty = false;
      break;
    }
  }
  ::closedir(listing);
  return empty;
}

// Signals whose default would kill the program where the run expects a failure it can report:
// a write beyond the file size limit (ulimit -f) then fails with EFBIG, and another program's
// open of a page held under a write lease only tells the lease's holder.
constexpr int kIgnoredSignals[] = {SIGXFSZ, SIGIO};

void IgnoreSignals() {
  for (const int signal : kIgnoredSignals) {
    struct sigaction now {};
    // A handler that the program set for itself stays.
    if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_DFL) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      ::sigaction(signal, &ignore, nullptr);
    }
  }
}

}  // namespace

PosixPlatform::PosixPlatform()
    : run_files_(std::make_unique<posix::RunFiles>()),
      batch_(std::make_unique<posix::ReplacementBatch>()) {
  run_files_->batch = batch_.get();
  IgnoreSignals();
}
PosixPlatform::~PosixPlatform() {
  EndRun();
}

std::string PosixPlatform::TimeOfDayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[128];
  const std::size_t n = std::strftime(text, sizeof text, "%X", &local);
  return std::string(text, n);
}

void PosixPlatform::BeginRun() {
  batch_->BeginRun();
  run_files_->files.clear();
  run_files_->link_folder.reset();
  run_files_->watch.Reset();
  run_files_->user = ::geteuid();
}

std::shared_ptr<Folder> PosixPlatform::Hold(std::string path, int fd, const FileIdentity* listed,
                                            bool exclusive) {
  posix::Fd held(fd);
  struct stat st {};
  if (::fstat(held.get(), &st) != 0) throw FileError(Op::kOpenFolder, path, errno);
  if (listed != nullptr && !(*listed == FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                                                     static_cast<std::uint64_t>(st.st_ino)})) {
    throw FileError(Op::kFolderChanged, path, 0);
  }
  if (exclusive) {
    // Another run in the folder holds it until it ends: wait a little for a run about to end,
    // then stop rather than mix two runs' pages.
    const auto give_up = std::chrono::steady_clock::now() + folder_wait_;
    while (::flock(held.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      // A file system without such locks (some network ones) cannot keep two runs apart.
      if (errno != EWOULDBLOCK) break;
      if (std::chrono::steady_clock::now() >= give_up) throw FileError(Op::kFolderBusy, path, 0);
      posix::ReachStep(posix::Step::kWaitingForFolder);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // Only a run that writes in the folder needs to see other programs' writes, and only where
  // the times may not tell: a watch is not free (letting go of one waits for the kernel, some
  // milliseconds at the end of a run).
  const bool watched = exclusive && !posix::TimesAreFineGrained(held.get());
  const int watch = watched ? run_files_->watch.Add(held.get()) : -1;
  return std::make_shared<posix::PosixFolder>(std::move(path), std::move(held), watch);
}

std::shared_ptr<Folder> PosixPlatform::OpenFolder(const std::string& path,
                                                  const FileIdentity* listed, bool exclusive) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw FileError(Op::kOpenFolder, path, errno);
  return Hold(path, fd, listed, exclusive);
}

std::shared_ptr<Folder> PosixPlatform::OpenSubFolder(Folder& parent, const std::string& name,
                                                     const FileIdentity* listed, bool exclusive) {
  std::string path = JoinPath(parent.Path(), name);
  // Never through a link: a folder swapped for one after the listing would lead the run into
  // somebody else's folder.
  const int fd =
      ::openat(Held(parent).get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENOTDIR || errno == ENOENT) {
      throw FileError(Op::kFolderChanged, path, 0);
    }
    throw FileError(Op::kOpenFolder, path, errno);
  }
  return Hold(std::move(path), fd, listed, exclusive);
}

std::vector<Recovery> PosixPlatform::RecoverFolder(Folder& folder) {
  return posix::RecoverFolder(Held(folder).get(), folder.Path());
}

std::shared_ptr<Folder> PosixPlatform::CreateFolder(Folder& parent, const std::string& name) {
  const int at = Held(parent).get();
  const std::string path = JoinPath(parent.Path(), name);
  if (::mkdirat(at, name.c_str(), 0777) != 0) {
    if (errno == EEXIST) return nullptr;
    throw FileError(Op::kCreateFolder, path, errno);
  }
  posix::ReachStep(posix::Step::kFolderMade);
  // The folder just made, and no other that someone put in its place since: ours, on the
  // parent's file system, and empty. Every copy then goes through this descriptor.
  posix::Fd made(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!made) {
    if (errno == ELOOP || errno == ENOTDIR || errno == ENOENT) {
      throw FileError(Op::kFolderChanged, path, 0);
    }
    throw FileError(Op::kCreateFolder, path, errno);
  }
  struct stat st {
  }, parent_st{};
  if (::fstat(made.get(), &st) != 0 || ::fstat(at, &parent_st) != 0) {
    throw FileError(Op::kCreateFolder, path, errno);
  }
  if (st.st_uid != ::geteuid() || st.st_dev != parent_st.st_dev || !IsEmpty(made.get())) {
    throw FileError(Op::kFolderChanged, path, 0);
  }
  auto folder = std::make_shared<posix::PosixFolder>(path, std::move(made), -1);
  folder->MadeIn(Held(parent).Shared(), name);
  return folder;
}

void PosixPlatform::RemoveIfEmpty(Folder& made) {
  const auto& folder = Held(made);
  if (!folder.Parent()) return;
  struct stat held {
  }, by_name{};
  // Only the folder made, not one put under its name since; rmdir itself keeps a copy.
  if (::fstat(folder.get(), &held) == 0 &&
      ::fstatat(folder.Parent()->get(), folder.Name().c_str(), &by_name, AT_SYMLINK_NOFOLLOW) ==
          0 &&
      posix::FileStamp::Of(held).SameFile(by_name)) {
    ::unlinkat(folder.Parent()->get(), folder.Name().c_str(), AT_REMOVEDIR);
  }
}

std::unique_ptr<Page> PosixPlatform::OpenPage(Folder& folder, const std::string& name) {
  return std::make_unique<posix::PosixPage>(Held(folder), name, *run_files_);
}

void PosixPlatform::UseTempFile(const std::string& path) {
  EndRun();
  run_files_->temp_path = path;
  run_files_->temp_made_in_place.clear();
  if (path.empty()) return;
  // The lock beside the temporary file is held for the whole run, while the temporary file comes
  // and goes with each page: a copy started later stops at once, and never the one at work.
  bool empty = false;
  run_lock_path_ = path + std::string(kRunLockSuffix);
  run_lock_ = posix::HoldOwnFile(run_lock_path_, path, empty, run_files_->user);
  // The temporary file must be one the run can make, before anything else is touched.
  posix::HoldOwnFile(path, path, empty, run_files_->user);
  if (::unlink(path.c_str()) != 0) throw FileError(Op::kDeleteTemp, path, errno);
}

std::uint64_t PosixPlatform::Replace(std::unique_ptr<Page> page,
                                     std::unique_ptr<NewContent> content) {
  return PutInPlace(*content, std::move(page));
}

void PosixPlatform::EndRun() {
  if (!run_lock_) return;
  // Ours while it is held: a copy that opened it meanwhile finds the name gone and makes anew.
  ::unlink(run_lock_path_.c_str());
  run_lock_.Reset();
}

void PosixPlatform::CommitReplacements() {
  batch_->Commit();
  batch_->MakeNamesDurable();
}

std::uint64_t PosixPlatform::PagesReplaced() const {
  return batch_->Replaced();
}

}  // namespace slimtag
