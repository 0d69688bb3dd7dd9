// The backup copy of a page: written under a passing name in the backup folder and given the
// page's name only when it is complete and on the disk (with the batch of its page), so that the
// backup folder never holds a truncated copy under a page's name.

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "page_file.h"
#include "replacement_batch.h"
#include "side_files.h"

namespace slimtag::posix {

namespace {

constexpr const char* kAccessList = "system.posix_acl_access";

bool NoSuchAttribute(int err) {
  return err == ENODATA || err == ENOTSUP || err == ENOSYS;
}

// Gives the copy the page's permission bits, for no one more than the page grants them to. The
// backup folder may give a new file a group of its own (set-group-ID) and its default access
// list: the copy takes the page's group where the user may give it, else its group gets no more
// than everyone; its access list is the page's where both have one group, else it has none.
int ShowNoOneMore(int page, const struct stat& opened, int copy) {
  struct stat made {};
  if (::fstat(copy, &made) != 0) return errno;
  mode_t mode = opened.st_mode & 0777;
  bool same_group = made.st_gid == opened.st_gid;
  if (!same_group && CanGiveOwnership(::geteuid(), made.st_uid, opened.st_gid)) {
    same_group = ::fchown(copy, static_cast<uid_t>(-1), opened.st_gid) == 0;
  }
  if (!same_group) mode = (mode & ~mode_t(070)) | (mode & (mode << 3) & 070);
  std::vector<char> list(1024);
  ssize_t size = same_group ? ::fgetxattr(page, kAccessList, list.data(), list.size()) : -1;
  if (size < 0 && same_group && errno == ERANGE) {
    size = ::fgetxattr(page, kAccessList, nullptr, 0);
    list.resize(static_cast<std::size_t>(std::max<ssize_t>(size, 0)));
    if (size >= 0) size = ::fgetxattr(page, kAccessList, list.data(), list.size());
  }
  if (size < 0 && same_group && !NoSuchAttribute(errno)) return errno;
  if (size >= 0) {
    if (::fsetxattr(copy, kAccessList, list.data(), static_cast<std::size_t>(size), 0) != 0) {
      return errno;
    }
  } else if (::fremovexattr(copy, kAccessList) != 0 && !NoSuchAttribute(errno)) {
    return errno;
  }
  // After the access list: the mode's group bits are the list's mask.
  return SetMode(copy, mode);
}

}  // namespace

void PosixPage::BackUpTo(slimtag::Folder& backup_folder, const std::string& name) {
  // Folders reach a page only from the platform that opened it.
  const auto& folder = static_cast<const PosixFolder&>(backup_folder);
  const std::string copy = JoinPath(folder.Path(), name);
  const auto fail = [&](int err) {
    throw FileError(FileError::Operation::kBackup, path_, err, copy);
  };
  std::string passing;
  // Like a plain cp: the copy belongs to the user who runs the program and carries no set-ID or
  // sticky bit, whoever owns the page.
  Fd out = CreateLockedFile(folder.get(), kSideFilePrefix, kPartSuffix, passing, 0600);
  if (!out) fail(errno);
  int err = ShowNoOneMore(fd_.get(), opened_, out.get());
  // As much as the page held when it was opened, and no more: one that grows since is stopped
  // by the check before its replacement.
  if (err == 0) {
    err = CopyFrom(fd_.get(), 0, out.get(), 0, static_cast<std::uint64_t>(opened_.st_size));
  }
  if (err != 0) {
    ::unlinkat(folder.get(), passing.c_str(), 0);
    fail(err);
  }
  // Named with the batch, after the sync that makes it durable, and before its page is replaced.
  run_files_.batch->AddBackup(
      {folder.Shared(), std::move(out), std::move(passing), name, path_, copy, folder.Path()});
}

}  // namespace slimtag::posix
