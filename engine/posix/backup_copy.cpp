// The backup copy of a page: written under a passing name in the backup folder and given the
// page's name only when it is complete and on the disk, so that the backup folder never holds a
// truncated copy under a page's name.

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "posix/page_file.h"
#include "posix/side_files.h"

namespace slimtag::posix {

namespace {

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

void PosixPage::BackUpTo(const std::string& copy) {
  const auto fail = [&](int err) {
    throw FileError(FileError::Operation::kBackup, path_, err, copy);
  };
  Fd folder(::open(DirectoryOf(copy).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) fail(errno);
  std::string passing;
  // Like a plain cp: the copy belongs to the user who runs the program and carries no set-ID or
  // sticky bit, whoever owns the page.
  Fd out = CreateLockedFile(folder.get(), kSideFilePrefix, kPartSuffix, passing, 0600);
  if (!out) fail(errno);
  int err = ::fchmod(out.get(), opened_.st_mode & 0777) != 0 ? errno : 0;
  if (err == 0) err = CopyFrom(fd_.get(), 0, out.get(), 0);
  if (err == 0 && ::fsync(out.get()) != 0) err = errno;
  if (err == 0) err = RenameNoReplace(folder.get(), passing, BaseNameOf(copy));
  if (err != 0) {
    ::unlinkat(folder.get(), passing.c_str(), 0);
    fail(err);
  }
  if (const int close_err = out.Close()) fail(close_err);
}

}  // namespace slimtag::posix
