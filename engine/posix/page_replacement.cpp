#include "page_replacement.h"

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

#include "side_files.h"
#include "step_hook.h"

namespace slimtag::posix {

namespace {

using Op = FileError::Operation;

// What a recovery file holds before the page's new content: which page, as which file, the mode
// to give it back when the rewrite clears its set-ID bits, and what tells the page's old content
// from anything else: its size and a hash of each of its blocks, so that a later run completes
// the rewrite only over what the rewrite itself left, never over someone's repair.
struct RecoveryHeader {
  char magic[8] = {'S', 'L', 'T', 'R', 'C', 'V', '2', '\n'};
  std::uint64_t dev = 0;
  std::uint64_t ino = 0;
  std::uint64_t mode = 0;
  std::uint64_t content_size = 0;
  std::uint64_t name_size = 0;
  std::uint64_t old_size = 0;
  // The old bytes from the new content's end to the end of its block, which a rewrite cut short
  // before its truncation leaves behind the new content.
  std::uint64_t tail_hash = 0;
};
// The first form, without the old content's description: such a rewrite cannot be told from a
// repair, so its new content is only ever kept beside the page.
struct RecoveryHeaderV1 {
  char magic[8] = {'S', 'L', 'T', 'R', 'C', 'V', '1', '\n'};
  std::uint64_t dev = 0;
  std::uint64_t ino = 0;
  std::uint64_t mode = 0;
  std::uint64_t content_size = 0;
  std::uint64_t name_size = 0;
};

// The blocks whose hashes describe the old content: a power cut leaves each block of a file old
// or new, and a killed write stops at a block's edge.
constexpr std::uint64_t kBlock = 4096;
constexpr std::size_t kChunk = std::size_t(1) << 20;  // blocks read at a time

std::uint64_t BlockCount(std::uint64_t size) {
  return (size + kBlock - 1) / kBlock;
}

// Where the new content starts in a recovery file: at a block's edge, so that a copy from it to
// the page, which the kernel makes a memory page at a time, can only be cut short at a block's
// edge of the page too.
off_t ContentOffset(off_t hashes_at, std::uint64_t old_size) {
  const std::uint64_t end =
      static_cast<std::uint64_t>(hashes_at) + BlockCount(old_size) * sizeof(std::uint64_t);
  return static_cast<off_t>(BlockCount(end) * kBlock);
}

// A hash that stays the same from build to build, as recovery files outlive the program that
// wrote them.
std::uint64_t StableHash(const char* data, std::size_t size) {
  std::uint64_t h = 0x9E3779B97F4A7C15u ^ size;
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + at, 8);
    h = (h ^ word) * 0xFF51AFD7ED558CCDu;
    h ^= h >> 29;
  }
  for (; at < size; ++at) {
    h = (h ^ static_cast<unsigned char>(data[at])) * 0xC4CEB9FE1A85EC53u;
    h ^= h >> 29;
  }
  return h;
}

// Reads exactly size bytes at offset; the errno of a failure, EIO when the file is shorter.
int PreadAll(int fd, char* data, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = ::pread(fd, data, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return 0;
}

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
  // In two halves, the first ending at a block's edge: the moment between them is where a test
  // stops the rewrite with the page half new.
  const auto half = static_cast<off_t>((static_cast<std::uint64_t>(size) / 2) / kBlock * kBlock);
  if (const int err = CopyFrom(content, offset, page, 0, static_cast<std::uint64_t>(half))) {
    return err;
  }
  ReachStep(Step::kHalfWritten);
  if (const int err =
          CopyFrom(content, offset + half, page, half, static_cast<std::uint64_t>(size - half))) {
    return err;
  }
  ReachStep(Step::kBeforeTruncation);
  if (::ftruncate(page, size) != 0) return errno;
  // A write clears the set-ID bits; the owner and root may give them back.
  if (::fstat(page, &st) != 0) return errno;
  if ((st.st_mode & 07777) != (mode & 07777) && ::fchmod(page, mode & 07777) != 0) return errno;
  if (::fsync(page) != 0) return errno;
  return 0;
}

// Writes what tells the page's old content at offset of the recovery file: a hash of each
// block, and sets the header's hash of the old bytes behind the new content's end.
int DescribeOldContent(int page, std::uint64_t old_size, int recovery, off_t offset,
                       RecoveryHeader& header) {
  std::vector<char> block(kChunk);
  std::vector<std::uint64_t> hashes;
  hashes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(BlockCount(old_size), 1 << 16)));
  const std::uint64_t tail_start = header.content_size;
  const std::uint64_t tail_end = std::min(old_size, BlockCount(tail_start) * kBlock);
  for (std::uint64_t at = 0; at < old_size; at += kChunk) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, old_size - at));
    if (const int err = PreadAll(page, block.data(), n, static_cast<off_t>(at))) return err;
    for (std::size_t b = 0; b < n; b += kBlock) {
      hashes.push_back(StableHash(block.data() + b, std::min<std::size_t>(kBlock, n - b)));
    }
    if (tail_start < tail_end && tail_start >= at && tail_start < at + n) {
      // The tail lies within one block, and so within this chunk.
      header.tail_hash = StableHash(block.data() + (tail_start - at),
                                    static_cast<std::size_t>(tail_end - tail_start));
    }
  }
  return PwriteAll(recovery, reinterpret_cast<const char*>(hashes.data()),
                   hashes.size() * sizeof(std::uint64_t), offset);
}

// The recovery file's name for a side file's passing name.
std::string RecoveryName(const std::string& part) {
  return part.substr(0, part.size() - kPartSuffix.size()) + std::string(kRecoverySuffix);
}

}  // namespace

namespace {

// overlayfs copies a file of its lower layer up at its first open for writing: a file of its own
// under the page's name, with the page's content and times, and apart from the page's other
// names. The copy is made here, before anything of the rewrite, and becomes the page; a page with
// other names is left alone, as they could be parted from it.
void CopyUpOnOverlay(PosixPage& page) {
  if (!OnOverlay(page.Folder())) return;
  const struct stat& st = page.Opened();
  if (st.st_nlink > 1) throw FileError(Op::kOverlayLinks, page.Path(), 0);
  Fd file(::openat(page.Folder(), page.Name().c_str(),
                   O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat now {};
  if (!file || ::fstat(file.get(), &now) != 0) throw FileError(Op::kReplace, page.Path(), errno);
  // The copy keeps the content and its time, and mostly the inode's number; its change time is
  // new.
  const FileStamp was = FileStamp::Of(st), is = FileStamp::Of(now);
  if (is.size != was.size || is.mtime_ns != was.mtime_ns) {
    throw FileError(Op::kChanged, page.Path(), 0);
  }
  page.TakeCopiedUp(std::move(file), now);
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
  CopyUpOnOverlay(page);
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
  header.old_size = static_cast<std::uint64_t>(st.st_size);
  const off_t hashes_at = static_cast<off_t>(sizeof header + page.Name().size());
  const off_t content_at = ContentOffset(hashes_at, header.old_size);
  int err = PwriteAll(recovery.get(), page.Name().data(), page.Name().size(), sizeof header);
  if (err == 0) {
    err = DescribeOldContent(page.Descriptor(), header.old_size, recovery.get(), hashes_at, header);
  }
  if (err == 0) {
    err = PwriteAll(recovery.get(), reinterpret_cast<const char*>(&header), sizeof header, 0);
  }
  if (err == 0) err = CopyFrom(content, 0, recovery.get(), content_at);
  if (err == 0 && ::fsync(recovery.get()) != 0) err = errno;
  if (err != 0) fail(err);
  // Complete and durable under its final name before the first byte of the page changes.
  if (::renameat(folder, part.c_str(), folder, recovery_name.c_str()) != 0) fail(errno);
  named = recovery_name;
  if (::fsync(folder) != 0) fail(errno);
  ReachStep(Step::kRecoveryDurable);

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
  // A write lease makes another program's open of the page wait until the rewrite lets go of
  // it, so that an editor never saves into a page half rewritten. The kernel grants one only to
  // the file's one open, and to its owner or root, on a local file system: the page's reading
  // descriptor gives way to this one. Where none is granted, the check below stands alone.
  page.HoldForWriting(std::move(out));
  const int file = page.Descriptor();
  static_cast<void>(::fcntl(file, F_SETLEASE, F_WRLCK));
  // Again, now that whatever opens the page from here on waits.
  try {
    page.CheckUnchanged();
  } catch (const FileError&) {
    drop();
    throw;
  }
  ReachStep(Step::kRewriteHeld);
  bool touched = false;
  err = Overwrite(file, recovery.get(), content_at, size, st.st_mode, &touched);
  if (err != 0 && !touched) fail(err);
  if (err != 0) {
    // The recovery file stays: the next run in this folder completes the page from it.
    throw FileError(Op::kOverwrite, page.Path(), err, JoinPath(DirectoryOf(page.Path()), named));
  }
  drop();
  // A save by rename needs no open, so no lease holds it back: the page's name then leads to the
  // other program's file, and the rewrite reached only the file's other names.
  struct stat by_name {};
  if (::fstatat(folder, page.Name().c_str(), &by_name, AT_SYMLINK_NOFOLLOW) != 0 ||
      !FileStamp::Of(st).SameFile(by_name)) {
    throw FileError(Op::kChanged, page.Path(), 0);
  }
  page.MarkRewritten(opened);
  return static_cast<std::uint64_t>(size);
}

namespace {

// A recovery file as read back.
struct RecoveryFile {
  RecoveryHeader header;
  bool describes_old = false;  // the first form does not
  std::string name;
  off_t hashes_at = 0;
  off_t content_at = 0;
};

std::optional<RecoveryFile> ReadRecoveryFile(int recovery) {
  RecoveryFile r;
  struct stat st {};
  if (::fstat(recovery, &st) != 0) return std::nullopt;
  RecoveryHeaderV1 v1;
  if (PreadAll(recovery, reinterpret_cast<char*>(&v1), sizeof v1, 0) != 0) return std::nullopt;
  off_t name_at = 0;
  if (std::memcmp(v1.magic, RecoveryHeader().magic, sizeof v1.magic) == 0) {
    if (PreadAll(recovery, reinterpret_cast<char*>(&r.header), sizeof r.header, 0) != 0) {
      return std::nullopt;
    }
    r.describes_old = true;
    name_at = sizeof r.header;
  } else if (std::memcmp(v1.magic, RecoveryHeaderV1().magic, sizeof v1.magic) == 0) {
    r.header.dev = v1.dev;
    r.header.ino = v1.ino;
    r.header.mode = v1.mode;
    r.header.content_size = v1.content_size;
    r.header.name_size = v1.name_size;
    name_at = sizeof v1;
  } else {
    return std::nullopt;
  }
  if (r.header.name_size == 0 || r.header.name_size > 4096) return std::nullopt;
  r.name.assign(r.header.name_size, '\0');
  if (PreadAll(recovery, r.name.data(), r.name.size(), name_at) != 0) return std::nullopt;
  if (r.name.find('/') != std::string::npos || r.name == "." || r.name == "..") return std::nullopt;
  r.hashes_at = name_at + static_cast<off_t>(r.name.size());
  r.content_at = r.describes_old ? ContentOffset(r.hashes_at, r.header.old_size) : r.hashes_at;
  if (st.st_size != r.content_at + static_cast<off_t>(r.header.content_size)) return std::nullopt;
  return r;
}

// Whether the page holds what the interrupted rewrite left of it, block by block: its old
// content, the new one, or the new one up to a block's edge with the old behind it, at one of the
// sizes the rewrite gives it on its way (old, new, or the larger of the two once room was taken).
bool LeftByTheRewrite(int page, std::uint64_t page_size, int recovery, const RecoveryFile& r) {
  if (!r.describes_old) return false;
  const std::uint64_t old_size = r.header.old_size;
  const std::uint64_t new_size = r.header.content_size;
  if (page_size != old_size && page_size != new_size && page_size != std::max(old_size, new_size)) {
    return false;
  }
  std::vector<char> here(kChunk), wanted(kChunk);
  std::vector<std::uint64_t> old_hashes(kChunk / kBlock);
  for (std::uint64_t at = 0; at < page_size; at += kChunk) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, page_size - at));
    if (PreadAll(page, here.data(), n, static_cast<off_t>(at)) != 0) return false;
    const auto new_n =
        static_cast<std::size_t>(at < new_size ? std::min<std::uint64_t>(n, new_size - at) : 0);
    if (PreadAll(recovery, wanted.data(), new_n, r.content_at + static_cast<off_t>(at)) != 0) {
      return false;
    }
    // The old content's hashes of this chunk's blocks (a chunk starts at a block's edge).
    const std::uint64_t first_block = at / kBlock;
    const auto old_blocks = static_cast<std::size_t>(
        std::min<std::uint64_t>(BlockCount(old_size), first_block + BlockCount(n)) -
        std::min<std::uint64_t>(BlockCount(old_size), first_block));
    if (PreadAll(recovery, reinterpret_cast<char*>(old_hashes.data()),
                 old_blocks * sizeof(std::uint64_t),
                 r.hashes_at + static_cast<off_t>(first_block * sizeof(std::uint64_t))) != 0) {
      return false;
    }
    for (std::size_t b = 0; b < n; b += kBlock) {
      const std::uint64_t start = at + b;
      const std::size_t len = std::min<std::size_t>(kBlock, n - b);
      const char* block = here.data() + b;
      // All new.
      if (start + len <= new_size && std::memcmp(block, wanted.data() + b, len) == 0) continue;
      // New up to the new content's end, then the old tail that the truncation would have cut.
      if (start < new_size && new_size < start + len && new_size < old_size) {
        const auto cut = static_cast<std::size_t>(new_size - start);
        const std::uint64_t tail_end = std::min(old_size, BlockCount(new_size) * kBlock);
        if (start + len == tail_end && std::memcmp(block, wanted.data() + b, cut) == 0 &&
            StableHash(block + cut, len - cut) == r.header.tail_hash) {
          continue;
        }
      }
      // All old: the old block whole, then the zeros of the room taken for a larger page.
      const std::uint64_t old_end = std::min(start + len, old_size);
      bool old = start >= old_size ||
                 (old_end == std::min(start + kBlock, old_size) &&
                  StableHash(block, static_cast<std::size_t>(old_end - start)) ==
                      old_hashes[static_cast<std::size_t>(start / kBlock - first_block)]);
      for (std::uint64_t i = std::max(start, old_size); old && i < start + len; ++i) {
        old = block[i - start] == '\0';
      }
      if (!old) return false;
    }
  }
  return true;
}

// Keeps the new content of an interrupted rewrite in a file of its own beside a page that was
// changed since: named after the page so that the user finds it, visible, and matching no page
// pattern. Returns its name.
std::string KeepBeside(int folder, int recovery, const RecoveryFile& r, const std::string& path) {
  std::string kept;
  Fd out;
  for (int n = 1; n <= 100 && !out; ++n) {
    kept = r.name + ".slimtag-new" + (n == 1 ? "" : "-" + std::to_string(n));
    out.Reset(
        ::openat(folder, kept.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out && errno != EEXIST) throw FileError(Op::kRecover, path, errno);
  }
  if (!out) throw FileError(Op::kRecover, path, EEXIST);
  int err = CopyFrom(recovery, r.content_at, out.get(), 0, r.header.content_size);
  if (err == 0 && ::fchmod(out.get(), static_cast<mode_t>(r.header.mode) & 0666) != 0) err = errno;
  if (err == 0 && ::fsync(out.get()) != 0) err = errno;
  if (err == 0 && ::fsync(folder) != 0) err = errno;
  if (err != 0) {
    ::unlinkat(folder, kept.c_str(), 0);
    throw FileError(Op::kRecover, path, err);
  }
  return kept;
}

// Completes one page from a recovery file of ours, or keeps its content beside a page changed
// since; nothing when there was nothing to complete.
std::optional<Recovery> CompleteFromRecovery(int folder, int recovery,
                                             const std::string& folder_path) {
  const std::optional<RecoveryFile> r = ReadRecoveryFile(recovery);
  if (!r) return std::nullopt;
  const std::string path = JoinPath(folder_path, r->name);
  Fd page(::openat(folder, r->name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  // A page that cannot be looked at now keeps its recovery file for a later run.
  if (!page && errno != ENOENT && errno != ELOOP) throw FileError(Op::kRecover, path, errno);
  struct stat page_st {};
  // A page that is gone or another file now was replaced since: nothing of ours to complete.
  if (!page || ::fstat(page.get(), &page_st) != 0 || !S_ISREG(page_st.st_mode) ||
      page_st.st_dev != r->header.dev || page_st.st_ino != r->header.ino) {
    return std::nullopt;
  }
  if (!LeftByTheRewrite(page.get(), static_cast<std::uint64_t>(page_st.st_size), recovery, *r)) {
    return Recovery{path, JoinPath(folder_path, KeepBeside(folder, recovery, *r, path))};
  }
  bool touched = false;
  if (const int err =
          Overwrite(page.get(), recovery, r->content_at, static_cast<off_t>(r->header.content_size),
                    static_cast<mode_t>(r->header.mode), &touched)) {
    throw FileError(Op::kRecover, path, err);
  }
  return Recovery{path, {}};
}

}  // namespace

std::vector<Recovery> RecoverFolder(int folder, const std::string& folder_path) {
  std::vector<Recovery> completed;
  std::vector<std::string> recoveries, parts;
  // Listed through a description of its own: the folder's one is shared with the whole run.
  if (DIR* listing = ::fdopendir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))) {
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
      Fd fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      struct stat st {};
      // Only our own files, and only those that no live process holds.
      if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
          st.st_nlink != 1 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        continue;
      }
      act(fd.get());
      ::unlinkat(folder, name.c_str(), 0);
    }
  };
  each_stale(recoveries, [&](int fd) {
    if (auto page = CompleteFromRecovery(folder, fd, folder_path)) {
      completed.push_back(std::move(*page));
    }
  });
  each_stale(parts, [](int) {});
  return completed;
}

}  // namespace slimtag::posix
