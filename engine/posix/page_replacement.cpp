#include "posix/page_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "posix/side_files.h"

namespace slimtag::posix {

namespace {

using Op = FileError::Operation;

// What a recovery file holds before the page's new content: which page, as which file, and the
// mode to give it back when the rewrite clears its set-ID bits.
struct RecoveryHeader {
  char magic[8] = {'S', 'L', 'T', 'R', 'C', 'V', '1', '\n'};
  std::uint64_t dev = 0;
  std::uint64_t ino = 0;
  std::uint64_t mode = 0;
  std::uint64_t content_size = 0;
  std::uint64_t name_size = 0;
};

// A list of extended attribute names, as flistxattr gives it: each ended by a zero byte.
std::optional<std::vector<char>> AttributeNames(int fd) {
  // Most pages have few attributes or none: one call with room for them, more only when needed.
  std::vector<char> names(512);
  for (;;) {
    const ssize_t got = ::flistxattr(fd, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      return names;
    }
    if (errno == ENOTSUP || errno == ENOSYS) return std::vector<char>{};
    if (errno != ERANGE) return std::nullopt;
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) return std::nullopt;
    names.resize(static_cast<std::size_t>(size) + 1);
  }
}

template <typename Each>
void ForEachName(const std::vector<char>& names, Each each) {
  for (std::size_t at = 0; at < names.size();) {
    const char* name = names.data() + at;
    each(name);
    at += std::strlen(name) + 1;
  }
}

}  // namespace

// Gives to exactly the extended attributes of from (the access control list among them); false
// when one of them could not be read, set or removed.
bool CopyAttributes(int from, int to) {
  const auto wanted = AttributeNames(from);
  const auto there = AttributeNames(to);
  if (!wanted || !there) return false;
  bool ok = true;
  // A folder's default access list gives a new file attributes of its own; the page may not
  // have them.
  ForEachName(*there, [&](const char* name) {
    bool keep = false;
    ForEachName(*wanted, [&](const char* w) { keep = keep || std::strcmp(w, name) == 0; });
    if (!keep && ::fremovexattr(to, name) != 0) ok = false;
  });
  std::vector<char> value;
  ForEachName(*wanted, [&](const char* name) {
    const ssize_t size = ::fgetxattr(from, name, nullptr, 0);
    if (size < 0) {
      ok = false;
      return;
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::fgetxattr(from, name, value.data(), value.size());
    if (got < 0 || ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0) {
      ok = false;
    }
  });
  return ok;
}

namespace {

// Writes size bytes of content, from offset, into the page's own file, gives it back its mode
// and flushes it. *touched tells whether a byte of the page was changed before a failure.
int Overwrite(int page, int content, off_t offset, off_t size, mode_t mode, bool* touched) {
  *touched = false;
  struct stat st {};
  if (::fstat(page, &st) != 0) return errno;
  // Room for a page that grows is taken before its first byte changes, so that a full disk
  // stops the rewrite while the page still holds its old content.
  if (size > st.st_size && ::fallocate(page, 0, st.st_size, size - st.st_size) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
    return errno;
  }
  *touched = true;
  if (const int err = CopyFrom(content, offset, page, 0)) return err;
  if (::ftruncate(page, size) != 0) return errno;
  // A write clears the set-ID bits; the owner and root may give them back.
  if (::fstat(page, &st) != 0) return errno;
  if ((st.st_mode & 07777) != (mode & 07777) && ::fchmod(page, mode & 07777) != 0) return errno;
  if (::fsync(page) != 0) return errno;
  return 0;
}

// The recovery file's name for a side file's passing name.
std::string RecoveryName(const std::string& part) {
  return part.substr(0, part.size() - kPartSuffix.size()) + std::string(kRecoverySuffix);
}

}  // namespace

std::uint64_t ReplaceInPlace(PosixPage& page, int content, off_t size,
                             const std::string& temp_path) {
  const struct stat& st = page.Opened();
  const uid_t me = ::geteuid();
  // Linux clears these bits on a write by anyone but the owner; only the owner may set them.
  if ((st.st_mode & 06000) != 0 && me != 0 && me != st.st_uid) {
    throw FileError(Op::kSetIdBits, page.Path(), 0);
  }
  const int folder = page.Folder();
  std::string part;
  Fd recovery = CreateLockedFile(folder, kSideFilePrefix, kPartSuffix, part, 0600);
  if (!recovery) throw FileError(Op::kReplace, page.Path(), errno, temp_path);
  const std::string recovery_name = RecoveryName(part);
  std::string named = part;  // the name the recovery file has now
  const auto drop = [&] { ::unlinkat(folder, named.c_str(), 0); };
  const auto fail = [&](int err) {
    drop();
    throw FileError(Op::kReplace, page.Path(), err, temp_path);
  };

  RecoveryHeader header;
  header.dev = st.st_dev;
  header.ino = st.st_ino;
  header.mode = st.st_mode;
  header.content_size = static_cast<std::uint64_t>(size);
  header.name_size = page.Name().size();
  const off_t content_at = static_cast<off_t>(sizeof header + page.Name().size());
  int err = PwriteAll(recovery.get(), reinterpret_cast<const char*>(&header), sizeof header, 0);
  if (err == 0) {
    err = PwriteAll(recovery.get(), page.Name().data(), page.Name().size(), sizeof header);
  }
  if (err == 0) err = CopyFrom(content, 0, recovery.get(), content_at);
  if (err == 0 && ::fsync(recovery.get()) != 0) err = errno;
  if (err != 0) fail(err);
  // Complete and durable under its final name before the first byte of the page changes.
  if (::renameat(folder, part.c_str(), folder, recovery_name.c_str()) != 0) fail(errno);
  named = recovery_name;
  if (::fsync(folder) != 0) fail(errno);

  try {
    page.CheckUnchanged();
  } catch (const FileError&) {
    drop();
    throw;
  }
  Fd out(::openat(folder, page.Name().c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!out) fail(errno);
  struct stat opened {};
  if (::fstat(out.get(), &opened) != 0) fail(errno);
  if (!FileStamp::Of(st).SameFile(opened)) {
    drop();
    throw FileError(Op::kChanged, page.Path(), 0);
  }
  bool touched = false;
  err = Overwrite(out.get(), recovery.get(), content_at, size, st.st_mode, &touched);
  if (err != 0 && !touched) fail(err);
  if (err != 0) {
    // The recovery file stays: the next run in this folder completes the page from it.
    throw FileError(Op::kOverwrite, page.Path(), err, PathIn(DirectoryOf(page.Path()), named));
  }
  drop();
  page.MarkRewritten(opened);
  return static_cast<std::uint64_t>(size);
}

namespace {

// Completes one page from a recovery file of ours; returns its path, nothing when there was
// nothing to complete.
std::optional<std::string> CompleteFromRecovery(int folder, int recovery,
                                                const std::string& folder_path) {
  RecoveryHeader header;
  struct stat st {};
  if (::fstat(recovery, &st) != 0) return std::nullopt;
  if (::pread(recovery, &header, sizeof header, 0) != ssize_t(sizeof header)) return std::nullopt;
  if (std::memcmp(header.magic, RecoveryHeader().magic, sizeof header.magic) != 0) {
    return std::nullopt;
  }
  if (header.name_size == 0 || header.name_size > 4096) return std::nullopt;
  std::string name(header.name_size, '\0');
  if (::pread(recovery, name.data(), name.size(), sizeof header) != ssize_t(name.size())) {
    return std::nullopt;
  }
  const off_t content_at = static_cast<off_t>(sizeof header + name.size());
  if (name.find('/') != std::string::npos || name == "." || name == ".." ||
      st.st_size != content_at + static_cast<off_t>(header.content_size)) {
    return std::nullopt;
  }
  Fd page(::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat page_st {};
  // A page that is gone or another file now was replaced since: nothing of ours to complete.
  if (!page || ::fstat(page.get(), &page_st) != 0 || !S_ISREG(page_st.st_mode) ||
      page_st.st_dev != header.dev || page_st.st_ino != header.ino) {
    return std::nullopt;
  }
  const std::string path = PathIn(folder_path, name);
  bool touched = false;
  if (const int err =
          Overwrite(page.get(), recovery, content_at, static_cast<off_t>(header.content_size),
                    static_cast<mode_t>(header.mode), &touched)) {
    throw FileError(Op::kRecover, path, err);
  }
  return path;
}

}  // namespace

std::vector<std::string> RecoverFolder(const std::string& folder_path) {
  std::vector<std::string> completed;
  Fd folder(::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) return completed;  // opening its pages will say what is wrong
  std::vector<std::string> recoveries, parts;
  if (DIR* listing = ::fdopendir(::dup(folder.get()))) {
    while (const dirent* entry = ::readdir(listing)) {
      const std::string_view name = entry->d_name;
      if (!name.starts_with(kSideFilePrefix)) continue;
      if (name.ends_with(kRecoverySuffix)) recoveries.emplace_back(name);
      if (name.ends_with(kPartSuffix)) parts.emplace_back(name);
    }
    ::closedir(listing);
  }
  std::sort(recoveries.begin(), recoveries.end());
  const auto each_stale = [&](const std::vector<std::string>& names, auto act) {
    for (const std::string& name : names) {
      Fd fd(::openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      struct stat st {};
      // Only our own files, and only those that no live process holds.
      if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
          st.st_nlink != 1 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        continue;
      }
      act(fd.get());
      ::unlinkat(folder.get(), name.c_str(), 0);
    }
  };
  each_stale(recoveries, [&](int fd) {
    if (auto page = CompleteFromRecovery(folder.get(), fd, folder_path)) {
      completed.push_back(std::move(*page));
    }
  });
  each_stale(parts, [](int) {});
  return completed;
}

}  // namespace slimtag::posix
