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
  if (err != 0) {
    ::unlinkat(folder.get(), passing.c_str(), 0);
    fail(err);
  }
  // Named with the batch, after the sync that makes it durable, and before its page is replaced.
  run_files_.batch->AddBackup(
      {std::move(folder), std::move(out), std::move(passing), BaseNameOf(copy), path_, copy});
}

}  // namespace slimtag::posix
