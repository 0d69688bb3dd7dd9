// The backup copy of a page: written under a passing name in the backup folder and given the
// page's name only when it is complete and on the disk (with the batch of its page), so that the
// backup folder never holds a truncated copy under a page's name.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "posix/page_file.h"
#include "posix/replacement_batch.h"
#include "posix/side_files.h"

namespace slimtag::posix {

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
  int err = ::fchmod(out.get(), opened_.st_mode & 0777) != 0 ? errno : 0;
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
