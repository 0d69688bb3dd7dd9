// A file system in memory that remembers what a power cut would leave behind.
//
// Each file has the content that readers see and the content that is on the "disk": writes,
// truncates and fallocate change only the first, and an fsync of the file copies it into the
// second. Names and metadata are on the disk as soon as they change, as on a file system that
// journals its metadata. syncfs and sync never reach a FUSE daemon, so they make nothing durable
// here, as on any FUSE file system whose daemon keeps its data where only fsync flushes it.
//
// After every change of the durable state (each fsync, each change of a name) the daemon takes a
// cut: every path and what it would hold after a power cut at that moment. The cuts are written
// to the dump file when the file system is unmounted; the tests read them back with
// powerloss_harness.h.
//
//   powerloss_fs --dump FILE [--ready-fd N] MOUNTPOINT
//
// --ready-fd: one byte is written to descriptor N once the kernel has connected, so a test waits
// on a pipe rather than a timer. Exit status 0 after a clean unmount with the dump written, 3 when
// FUSE cannot be had here (no /dev/fuse, or the mount was refused), 1 on any other failure, 2 on
// a usage error.

#define FUSE_USE_VERSION 312

#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using Bytes = std::shared_ptr<const std::string>;

constexpr int kExitUsage = 2;
constexpr int kExitNoFuse = 3;
constexpr std::size_t kNameMax = 255;

struct Node {
  fuse_ino_t ino = 0;
  mode_t mode = 0;
  uid_t uid = 0;
  gid_t gid = 0;
  nlink_t nlink = 0;
  dev_t rdev = 0;
  timespec atime{}, mtime{}, ctime{};
  std::string data;   // what readers see
  Bytes durable;      // what a power cut leaves: the content at the last fsync
  Bytes link_target;  // symbolic links
  std::map<std::string, fuse_ino_t> entries;  // folders
  fuse_ino_t parent = 0;                      // folders
  std::map<std::string, std::string> xattrs;
  std::uint64_t lookups = 0;  // the kernel's references
  std::uint64_t opens = 0;

  bool IsDir() const { return S_ISDIR(mode); }
  bool IsFile() const { return S_ISREG(mode); }
};

struct CutEntry {
  std::string path;
  char kind;    // F file, D folder, L link, O other
  Bytes bytes;  // a file's durable content, a link's target

  bool operator==(const CutEntry& other) const {
    return path == other.path && kind == other.kind &&
           (bytes == other.bytes || (bytes && other.bytes && *bytes == *other.bytes));
  }
};

struct Cut {
  std::string label;  // the operation that made it
  std::vector<CutEntry> entries;
};

// A folder's listing as opendir saw it, so that readdir's offsets stay put while names change.
struct Listing {
  struct Entry {
    std::string name;
    fuse_ino_t ino;
    mode_t mode;
  };
  fuse_ino_t ino;
  std::vector<Entry> entries;
};

timespec Now() {
  timespec t{};
  ::clock_gettime(CLOCK_REALTIME, &t);
  return t;
}

class MemoryFs {
 public:
  MemoryFs() {
    Node& root = Add(S_IFDIR | 0755, ::getuid(), ::getgid());
    root.nlink = 2;
    root.parent = root.ino;
    root.lookups = 1;  // the kernel holds the root while mounted
  }

  Node* Get(fuse_ino_t ino) {
    const auto it = nodes_.find(ino);
    return it == nodes_.end() ? nullptr : it->second.get();
  }

  Node& Add(mode_t mode, uid_t uid, gid_t gid) {
    auto node = std::make_unique<Node>();
    node->ino = next_ino_++;
    node->mode = mode;
    node->uid = uid;
    node->gid = gid;
    node->atime = node->mtime = node->ctime = Now();
    node->durable = empty_;
    Node& added = *node;
    nodes_.emplace(added.ino, std::move(node));
    return added;
  }

  // A node goes once no name, no kernel reference and no open file is left.
  void MaybeFree(Node* node) {
    if (node && node->nlink == 0 && node->lookups == 0 && node->opens == 0) nodes_.erase(node->ino);
  }

  std::string PathOf(fuse_ino_t folder) {
    std::vector<std::string> names;
    for (Node* dir = Get(folder); dir && dir->ino != FUSE_ROOT_ID;) {
      Node* parent = Get(dir->parent);
      if (!parent) break;
      for (const auto& [name, ino] : parent->entries) {
        if (ino == dir->ino) names.push_back(name);
      }
      dir = parent;
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
      path += (path.empty() ? "" : "/") + *it;
    return path;
  }

  std::string PathIn(fuse_ino_t folder, const std::string& name) {
    const std::string dir = PathOf(folder);
    return dir.empty() ? name : dir + "/" + name;
  }

  // The first path that names the node, for the cuts' labels.
  std::string AnyPathOf(fuse_ino_t ino) {
    std::string found;
    Walk(FUSE_ROOT_ID, "", [&](const std::string& path, const Node& node) {
      if (found.empty() && node.ino == ino) found = path;
    });
    return found.empty() ? "(no name)" : found;
  }

  void TakeCut(std::string label) {
    Cut cut{std::move(label), {}};
    Walk(FUSE_ROOT_ID, "", [&](const std::string& path, const Node& node) {
      if (node.IsFile()) {
        cut.entries.push_back({path, 'F', node.durable});
      } else if (node.IsDir()) {
        cut.entries.push_back({path, 'D', nullptr});
      } else if (S_ISLNK(node.mode)) {
        cut.entries.push_back({path, 'L', node.link_target});
      } else {
        cut.entries.push_back({path, 'O', nullptr});
      }
    });
    // A change that leaves every path as it was (a name made and gone again) is no new cut.
    if (!cuts_.empty() && cuts_.back().entries == cut.entries) return;
    cuts_.push_back(std::move(cut));
  }

  // Every cut, then the state at unmount under the label "unmount", always.
  bool WriteDump(const std::string& path) {
    const std::size_t taken = cuts_.size();
    TakeCut("unmount");
    if (cuts_.size() == taken) cuts_.push_back({"unmount", cuts_.back().entries});
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "slimtag-powerloss-cuts 1\n";
    // Each content once: cuts share it by number.
    std::unordered_map<const std::string*, std::size_t> numbers;
    for (const Cut& cut : cuts_) {
      for (const CutEntry& entry : cut.entries) {
        if (!entry.bytes || numbers.contains(entry.bytes.get())) continue;
        const std::size_t number = numbers.size();
        numbers.emplace(entry.bytes.get(), number);
        out << "blob " << number << ' ' << entry.bytes->size() << '\n';
        out.write(entry.bytes->data(), static_cast<std::streamsize>(entry.bytes->size()));
        out << '\n';
      }
    }
    for (const Cut& cut : cuts_) {
      out << "cut " << cut.entries.size() << ' ' << cut.label.size() << ' ' << cut.label << '\n';
      for (const CutEntry& entry : cut.entries) {
        out << entry.kind << ' ';
        if (entry.bytes) {
          out << numbers.at(entry.bytes.get());
        } else {
          out << '-';
        }
        out << ' ' << entry.path.size() << ' ' << entry.path << '\n';
      }
    }
    out << "end\n";
    out.close();
    return static_cast<bool>(out);
  }

  std::size_t NodeCount() const { return nodes_.size(); }

 private:
  template <typename Visit>
  void Walk(fuse_ino_t folder, const std::string& prefix, Visit&& visit) {
    Node* dir = Get(folder);
    if (!dir) return;
    for (const auto& [name, ino] : dir->entries) {
      const Node* node = Get(ino);
      if (!node) continue;
      const std::string path = prefix.empty() ? name : prefix + "/" + name;
      visit(path, *node);
      if (node->IsDir()) Walk(ino, path, visit);
    }
  }

  std::unordered_map<fuse_ino_t, std::unique_ptr<Node>> nodes_;
  fuse_ino_t next_ino_ = FUSE_ROOT_ID;
  Bytes empty_ = std::make_shared<const std::string>();
  std::vector<Cut> cuts_;
};

struct Daemon {
  MemoryFs fs;
  int ready_fd = -1;
};

Daemon& Self(fuse_req_t req) {
  return *static_cast<Daemon*>(fuse_req_userdata(req));
}

MemoryFs& Fs(fuse_req_t req) {
  return Self(req).fs;
}

// The node, or ENOENT answered.
Node* Existing(fuse_req_t req, fuse_ino_t ino) {
  Node* node = Fs(req).Get(ino);
  if (!node) fuse_reply_err(req, ENOENT);
  return node;
}

void FillStat(const Node& node, struct stat* st) {
  *st = {};
  st->st_ino = node.ino;
  st->st_mode = node.mode;
  st->st_nlink = node.nlink;
  st->st_uid = node.uid;
  st->st_gid = node.gid;
  st->st_rdev = node.rdev;
  if (node.IsFile()) {
    st->st_size = static_cast<off_t>(node.data.size());
  } else if (S_ISLNK(node.mode)) {
    st->st_size = static_cast<off_t>(node.link_target->size());
  } else if (node.IsDir()) {
    st->st_size = 4096;
  }
  st->st_blksize = 4096;
  st->st_blocks = (st->st_size + 511) / 512;
  st->st_atim = node.atime;
  st->st_mtim = node.mtime;
  st->st_ctim = node.ctime;
}

// Attributes and names are never cached by the kernel: every stat sees the daemon's state, so
// that the run's checks of a page's stamp see exactly what this file system did.
void ReplyEntry(fuse_req_t req, Node& node) {
  fuse_entry_param e{};
  e.ino = node.ino;
  e.generation = 1;
  FillStat(node, &e.attr);
  e.attr_timeout = 0;
  e.entry_timeout = 0;
  ++node.lookups;
  if (fuse_reply_entry(req, &e) != 0) --node.lookups;
}

// The folder and the checks that every operation on a name in it makes.
Node* Folder(fuse_req_t req, fuse_ino_t parent, const char* name) {
  Node* dir = Fs(req).Get(parent);
  if (!dir) {
    fuse_reply_err(req, ENOENT);
    return nullptr;
  }
  if (!dir->IsDir()) {
    fuse_reply_err(req, ENOTDIR);
    return nullptr;
  }
  if (std::strlen(name) > kNameMax) {
    fuse_reply_err(req, ENAMETOOLONG);
    return nullptr;
  }
  return dir;
}

Node* Child(MemoryFs& fs, Node& dir, const std::string& name) {
  const auto it = dir.entries.find(name);
  return it == dir.entries.end() ? nullptr : fs.Get(it->second);
}

void Touch(Node& node) {
  node.mtime = node.ctime = Now();
}

// A new node named name in dir, owned by the caller; a folder with the set-group-ID bit passes
// its group (and to folders the bit) on, as on Linux's own file systems.
Node* MakeNode(fuse_req_t req, Node& dir, const std::string& name, mode_t mode) {
  MemoryFs& fs = Fs(req);
  if (dir.entries.contains(name)) {
    fuse_reply_err(req, EEXIST);
    return nullptr;
  }
  const fuse_ctx* ctx = fuse_req_ctx(req);
  gid_t gid = ctx->gid;
  if (dir.mode & S_ISGID) {
    gid = dir.gid;
    if (S_ISDIR(mode)) mode |= S_ISGID;
  }
  Node& node = fs.Add(mode, ctx->uid, gid);
  node.nlink = 1;
  if (node.IsDir()) {
    node.nlink = 2;
    node.parent = dir.ino;
    ++dir.nlink;
  }
  dir.entries.emplace(name, node.ino);
  Touch(dir);
  return &node;
}

void OpInit(void* userdata, fuse_conn_info* conn) {
  auto& self = *static_cast<Daemon*>(userdata);
  // Locks stay in the kernel (the daemon has no lock operations): flock and fcntl locks work
  // between the processes of this machine, which is all the run needs of them.
  conn->want &= ~(FUSE_CAP_FLOCK_LOCKS | FUSE_CAP_POSIX_LOCKS);
  // No writeback cache: every write reaches the daemon as it is made, so nothing but the daemon's
  // own rules decides what is durable.
  conn->want &= ~FUSE_CAP_WRITEBACK_CACHE;
  // The kernel applies the umask and clears set-ID bits on writes and changes of owner itself.
  conn->want &= ~(FUSE_CAP_DONT_MASK | FUSE_CAP_HANDLE_KILLPRIV);
  conn->want &= ~FUSE_CAP_POSIX_ACL;
  if (self.ready_fd >= 0) {
    // The kernel's mount exists once the daemon reads its first request; requests made after
    // this byte wait for the answer to this one.
    const char byte = 'r';
    while (::write(self.ready_fd, &byte, 1) < 0 && errno == EINTR) {
    }
    ::close(self.ready_fd);
    self.ready_fd = -1;
  }
}

void OpLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
  Node* dir = Folder(req, parent, name);
  if (!dir) return;
  Node* node = Child(Fs(req), *dir, name);
  if (!node) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  ReplyEntry(req, *node);
}

void Forget(MemoryFs& fs, fuse_ino_t ino, std::uint64_t count) {
  Node* node = fs.Get(ino);
  if (!node) return;
  node->lookups -= std::min<std::uint64_t>(count, node->lookups);
  fs.MaybeFree(node);
}

void OpForget(fuse_req_t req, fuse_ino_t ino, std::uint64_t nlookup) {
  Forget(Fs(req), ino, nlookup);
  fuse_reply_none(req);
}

void OpForgetMulti(fuse_req_t req, std::size_t count, fuse_forget_data* forgets) {
  for (std::size_t i = 0; i < count; ++i) Forget(Fs(req), forgets[i].ino, forgets[i].nlookup);
  fuse_reply_none(req);
}

void OpGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
  Node* node = Existing(req, ino);
  if (!node) return;
  struct stat st {};
  FillStat(*node, &st);
  fuse_reply_attr(req, &st, 0);
}

void OpSetattr(fuse_req_t req, fuse_ino_t ino, struct stat* attr, int to_set, fuse_file_info*) {
  Node* node = Existing(req, ino);
  if (!node) return;
  const timespec now = Now();
  if (to_set & FUSE_SET_ATTR_SIZE) {
    if (node->IsDir()) {
      fuse_reply_err(req, EISDIR);
      return;
    }
    if (!node->IsFile()) {
      fuse_reply_err(req, EINVAL);
      return;
    }
    if (attr->st_size < 0) {
      fuse_reply_err(req, EINVAL);
      return;
    }
    node->data.resize(static_cast<std::size_t>(attr->st_size));
    node->mtime = now;
  }
  if (to_set & FUSE_SET_ATTR_MODE) node->mode = (node->mode & S_IFMT) | (attr->st_mode & 07777);
  if (to_set & FUSE_SET_ATTR_UID) node->uid = attr->st_uid;
  if (to_set & FUSE_SET_ATTR_GID) node->gid = attr->st_gid;
  if (to_set & FUSE_SET_ATTR_ATIME) node->atime = attr->st_atim;
  if (to_set & FUSE_SET_ATTR_ATIME_NOW) node->atime = now;
  if (to_set & FUSE_SET_ATTR_MTIME) node->mtime = attr->st_mtim;
  if (to_set & FUSE_SET_ATTR_MTIME_NOW) node->mtime = now;
  node->ctime = (to_set & FUSE_SET_ATTR_CTIME) ? attr->st_ctim : now;
  struct stat st {};
  FillStat(*node, &st);
  fuse_reply_attr(req, &st, 0);
}

void OpReadlink(fuse_req_t req, fuse_ino_t ino) {
  Node* node = Fs(req).Get(ino);
  if (!node || !S_ISLNK(node->mode)) {
    fuse_reply_err(req, node ? EINVAL : ENOENT);
    return;
  }
  fuse_reply_readlink(req, node->link_target->c_str());
}

void OpMknod(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, dev_t rdev) {
  Node* dir = Folder(req, parent, name);
  if (!dir) return;
  if (!S_ISREG(mode) && !S_ISFIFO(mode) && !S_ISSOCK(mode) && !S_ISCHR(mode) && !S_ISBLK(mode)) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  Node* node = MakeNode(req, *dir, name, mode);
  if (!node) return;
  node->rdev = rdev;
  Fs(req).TakeCut("mknod " + Fs(req).PathIn(parent, name));
  ReplyEntry(req, *node);
}

void OpMkdir(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode) {
  Node* dir = Folder(req, parent, name);
  if (!dir) return;
  Node* node = MakeNode(req, *dir, name, S_IFDIR | (mode & 07777));
  if (!node) return;
  Fs(req).TakeCut("mkdir " + Fs(req).PathIn(parent, name));
  ReplyEntry(req, *node);
}

void OpSymlink(fuse_req_t req, const char* target, fuse_ino_t parent, const char* name) {
  Node* dir = Folder(req, parent, name);
  if (!dir) return;
  Node* node = MakeNode(req, *dir, name, S_IFLNK | 0777);
  if (!node) return;
  node->link_target = std::make_shared<const std::string>(target);
  Fs(req).TakeCut("symlink " + Fs(req).PathIn(parent, name));
  ReplyEntry(req, *node);
}

// One name less for node; a folder loses its own "." and its name in its parent.
void DropName(Node& dir, Node& node) {
  if (node.IsDir()) {
    node.nlink = 0;
    --dir.nlink;
  } else {
    --node.nlink;
  }
  node.ctime = Now();
}

// Takes the entry name of a folder away once it passed its kind's check (which replies itself
// and says no): the name is durable at once, as every name here is.
void RemoveEntry(fuse_req_t req, fuse_ino_t parent, const char* name, const char* what,
                 bool (*allowed)(fuse_req_t, const Node&)) {
  Node* dir = Folder(req, parent, name);
  if (!dir) return;
  MemoryFs& fs = Fs(req);
  Node* node = Child(fs, *dir, name);
  if (!node) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  if (!allowed(req, *node)) return;
  const std::string path = fs.PathIn(parent, name);
  dir->entries.erase(name);
  Touch(*dir);
  DropName(*dir, *node);
  fs.TakeCut(std::string(what) + " " + path);
  fs.MaybeFree(node);
  fuse_reply_err(req, 0);
}

void OpUnlink(fuse_req_t req, fuse_ino_t parent, const char* name) {
  RemoveEntry(req, parent, name, "unlink", [](fuse_req_t r, const Node& node) {
    if (!node.IsDir()) return true;
    fuse_reply_err(r, EISDIR);
    return false;
  });
}

void OpRmdir(fuse_req_t req, fuse_ino_t parent, const char* name) {
  RemoveEntry(req, parent, name, "rmdir", [](fuse_req_t r, const Node& node) {
    const int err = !node.IsDir() ? ENOTDIR : !node.entries.empty() ? ENOTEMPTY : 0;
    if (err == 0) return true;
    fuse_reply_err(r, err);
    return false;
  });
}

// Whether folder is ancestor or lies below it.
bool IsWithin(MemoryFs& fs, fuse_ino_t folder, fuse_ino_t ancestor) {
  for (Node* dir = fs.Get(folder); dir;) {
    if (dir->ino == ancestor) return true;
    if (dir->ino == FUSE_ROOT_ID) return false;
    dir = fs.Get(dir->parent);
  }
  return false;
}

// A folder that moves from one parent to another takes its ".." along.
void Reparent(MemoryFs& fs, Node& node, fuse_ino_t from, fuse_ino_t to) {
  if (!node.IsDir() || from == to) return;
  --fs.Get(from)->nlink;
  ++fs.Get(to)->nlink;
  node.parent = to;
}

void OpRename(fuse_req_t req, fuse_ino_t parent, const char* name, fuse_ino_t newparent,
              const char* newname, unsigned int flags) {
  if (flags & ~(RENAME_NOREPLACE | RENAME_EXCHANGE) ||
      (flags & RENAME_NOREPLACE && flags & RENAME_EXCHANGE)) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  Node* from_dir = Folder(req, parent, name);
  if (!from_dir) return;
  Node* to_dir = Folder(req, newparent, newname);
  if (!to_dir) return;
  MemoryFs& fs = Fs(req);
  Node* node = Child(fs, *from_dir, name);
  if (!node) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  Node* target = Child(fs, *to_dir, newname);
  const std::string label = fs.PathIn(parent, name) + " -> " + fs.PathIn(newparent, newname);
  // No folder may move below itself.
  if ((node->IsDir() && IsWithin(fs, newparent, node->ino)) ||
      (flags & RENAME_EXCHANGE && target && target->IsDir() && IsWithin(fs, parent, target->ino))) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  const timespec now = Now();
  if (flags & RENAME_EXCHANGE) {
    if (!target) {
      fuse_reply_err(req, ENOENT);
      return;
    }
    from_dir->entries[name] = target->ino;
    to_dir->entries[newname] = node->ino;
    Reparent(fs, *node, parent, newparent);
    Reparent(fs, *target, newparent, parent);
    node->ctime = target->ctime = now;
    from_dir->mtime = from_dir->ctime = to_dir->mtime = to_dir->ctime = now;
    fs.TakeCut("exchange " + label);
    fuse_reply_err(req, 0);
    return;
  }
  if (target) {
    if (flags & RENAME_NOREPLACE) {
      fuse_reply_err(req, EEXIST);
      return;
    }
    // Two names of one file: nothing to do.
    if (target == node) {
      fuse_reply_err(req, 0);
      return;
    }
    if (node->IsDir() && !target->IsDir()) {
      fuse_reply_err(req, ENOTDIR);
      return;
    }
    if (!node->IsDir() && target->IsDir()) {
      fuse_reply_err(req, EISDIR);
      return;
    }
    if (target->IsDir() && !target->entries.empty()) {
      fuse_reply_err(req, ENOTEMPTY);
      return;
    }
    to_dir->entries.erase(newname);
    DropName(*to_dir, *target);
  }
  from_dir->entries.erase(name);
  to_dir->entries.emplace(newname, node->ino);
  Reparent(fs, *node, parent, newparent);
  node->ctime = now;
  from_dir->mtime = from_dir->ctime = to_dir->mtime = to_dir->ctime = now;
  fs.TakeCut("rename " + label);
  fs.MaybeFree(target);
  fuse_reply_err(req, 0);
}

void OpLink(fuse_req_t req, fuse_ino_t ino, fuse_ino_t newparent, const char* newname) {
  Node* dir = Folder(req, newparent, newname);
  if (!dir) return;
  MemoryFs& fs = Fs(req);
  Node* node = fs.Get(ino);
  if (!node) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  if (node->IsDir()) {
    fuse_reply_err(req, EPERM);
    return;
  }
  if (dir->entries.contains(newname)) {
    fuse_reply_err(req, EEXIST);
    return;
  }
  dir->entries.emplace(newname, node->ino);
  ++node->nlink;
  node->ctime = Now();
  Touch(*dir);
  fs.TakeCut("link " + fs.PathIn(newparent, newname));
  ReplyEntry(req, *node);
}

// An open file remembers whether it appends; the kernel gives a write's offset otherwise.
void Open(Node& node, fuse_file_info* fi) {
  ++node.opens;
  fi->fh = (fi->flags & O_APPEND) ? 1 : 0;
  fi->keep_cache = 0;
  fi->direct_io = 0;
  if ((fi->flags & O_TRUNC) && node.IsFile() && !node.data.empty()) {
    node.data.clear();
    Touch(node);
  }
}

void OpOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  Node* node = Existing(req, ino);
  if (!node) return;
  if (node->IsDir()) {
    fuse_reply_err(req, EISDIR);
    return;
  }
  Open(*node, fi);
  if (fuse_reply_open(req, fi) != 0) --node->opens;
}

void OpCreate(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode,
              fuse_file_info* fi) {
  Node* dir = Folder(req, parent, name);
  if (!dir) return;
  MemoryFs& fs = Fs(req);
  Node* node = Child(fs, *dir, name);
  if (node && (fi->flags & O_EXCL)) {
    fuse_reply_err(req, EEXIST);
    return;
  }
  if (node && node->IsDir()) {
    fuse_reply_err(req, EISDIR);
    return;
  }
  if (!node) {
    node = MakeNode(req, *dir, name, S_IFREG | (mode & 07777));
    if (!node) return;
    fs.TakeCut("create " + fs.PathIn(parent, name));
  }
  Open(*node, fi);
  fuse_entry_param e{};
  e.ino = node->ino;
  e.generation = 1;
  FillStat(*node, &e.attr);
  ++node->lookups;
  if (fuse_reply_create(req, &e, fi) != 0) {
    --node->lookups;
    --node->opens;
  }
}

void OpRead(fuse_req_t req, fuse_ino_t ino, std::size_t size, off_t off, fuse_file_info*) {
  Node* node = Existing(req, ino);
  if (!node) return;
  if (!node->IsFile()) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  const std::string& data = node->data;
  if (off < 0) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  const auto start = std::min(static_cast<std::size_t>(off), data.size());
  fuse_reply_buf(req, data.data() + start, std::min(size, data.size() - start));
}

void OpWrite(fuse_req_t req, fuse_ino_t ino, const char* buf, std::size_t size, off_t off,
             fuse_file_info* fi) {
  Node* node = Existing(req, ino);
  if (!node) return;
  if (!node->IsFile()) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  std::string& data = node->data;
  const std::size_t at = fi->fh == 1 ? data.size() : static_cast<std::size_t>(off);
  if (off < 0 || at > std::size_t(INT64_MAX) - size) {
    fuse_reply_err(req, EFBIG);
    return;
  }
  if (data.size() < at + size) data.resize(at + size);
  std::memcpy(data.data() + at, buf, size);
  Touch(*node);
  fuse_reply_write(req, size);
}

void OpFlush(fuse_req_t req, fuse_ino_t, fuse_file_info*) {
  fuse_reply_err(req, 0);
}

void OpRelease(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
  MemoryFs& fs = Fs(req);
  if (Node* node = fs.Get(ino)) {
    if (node->opens > 0) --node->opens;
    fs.MaybeFree(node);
  }
  fuse_reply_err(req, 0);
}

// The one way to the disk: the file's content as it is now becomes what a power cut leaves.
void OpFsync(fuse_req_t req, fuse_ino_t ino, int, fuse_file_info*) {
  MemoryFs& fs = Fs(req);
  Node* node = fs.Get(ino);
  if (!node) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  if (node->IsFile() && *node->durable != node->data) {
    node->durable = std::make_shared<const std::string>(node->data);
    fs.TakeCut("fsync " + fs.AnyPathOf(ino));
  }
  fuse_reply_err(req, 0);
}

void OpOpendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  MemoryFs& fs = Fs(req);
  Node* dir = fs.Get(ino);
  if (!dir) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  if (!dir->IsDir()) {
    fuse_reply_err(req, ENOTDIR);
    return;
  }
  auto listing = std::make_unique<Listing>();
  listing->ino = ino;
  listing->entries.push_back({".", dir->ino, S_IFDIR});
  listing->entries.push_back({"..", dir->parent, S_IFDIR});
  for (const auto& [name, child] : dir->entries) {
    if (const Node* node = fs.Get(child)) listing->entries.push_back({name, child, node->mode});
  }
  fi->fh = reinterpret_cast<std::uint64_t>(listing.get());
  ++dir->opens;
  if (fuse_reply_open(req, fi) == 0) {
    listing.release();
  } else {
    --dir->opens;
  }
}

void OpReaddir(fuse_req_t req, fuse_ino_t, std::size_t size, off_t off, fuse_file_info* fi) {
  const auto* listing = reinterpret_cast<const Listing*>(fi->fh);
  std::vector<char> buffer(size);
  std::size_t used = 0;
  for (auto i = static_cast<std::size_t>(std::max<off_t>(off, 0)); i < listing->entries.size();
       ++i) {
    const Listing::Entry& entry = listing->entries[i];
    struct stat st {};
    st.st_ino = entry.ino;
    st.st_mode = entry.mode;
    const std::size_t needed = fuse_add_direntry(
        req, buffer.data() + used, size - used, entry.name.c_str(), &st, static_cast<off_t>(i + 1));
    if (needed > size - used) break;
    used += needed;
  }
  fuse_reply_buf(req, buffer.data(), used);
}

void OpReleasedir(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
  std::unique_ptr<Listing> listing(reinterpret_cast<Listing*>(fi->fh));
  MemoryFs& fs = Fs(req);
  if (Node* dir = fs.Get(listing->ino)) {
    if (dir->opens > 0) --dir->opens;
    fs.MaybeFree(dir);
  }
  fuse_reply_err(req, 0);
}

// Names are durable as soon as they change: nothing is left for a folder's sync.
void OpFsyncdir(fuse_req_t req, fuse_ino_t, int, fuse_file_info*) {
  fuse_reply_err(req, 0);
}

void OpStatfs(fuse_req_t req, fuse_ino_t) {
  constexpr fsblkcnt_t kBlocks = fsblkcnt_t(1) << 20;  // 4 GiB of 4 KiB blocks
  constexpr fsfilcnt_t kFiles = fsfilcnt_t(1) << 20;
  struct statvfs st {};
  st.f_bsize = st.f_frsize = 4096;
  st.f_blocks = kBlocks;
  st.f_bfree = st.f_bavail = kBlocks / 2;
  st.f_files = kFiles;
  st.f_ffree = st.f_favail = kFiles - std::min<fsfilcnt_t>(Fs(req).NodeCount(), kFiles);
  st.f_namemax = kNameMax;
  fuse_reply_statfs(req, &st);
}

void OpSetxattr(fuse_req_t req, fuse_ino_t ino, const char* name, const char* value,
                std::size_t size, int flags) {
  Node* node = Existing(req, ino);
  if (!node) return;
  const bool exists = node->xattrs.contains(name);
  if ((flags & XATTR_CREATE) && exists) {
    fuse_reply_err(req, EEXIST);
    return;
  }
  if ((flags & XATTR_REPLACE) && !exists) {
    fuse_reply_err(req, ENODATA);
    return;
  }
  node->xattrs[name].assign(value, size);
  node->ctime = Now();
  fuse_reply_err(req, 0);
}

// The size asked for 0, ERANGE for too small a buffer, else the bytes: getxattr and listxattr.
void ReplySized(fuse_req_t req, const std::string& bytes, std::size_t size) {
  if (size == 0) {
    fuse_reply_xattr(req, bytes.size());
  } else if (size < bytes.size()) {
    fuse_reply_err(req, ERANGE);
  } else {
    fuse_reply_buf(req, bytes.data(), bytes.size());
  }
}

void OpGetxattr(fuse_req_t req, fuse_ino_t ino, const char* name, std::size_t size) {
  Node* node = Existing(req, ino);
  if (!node) return;
  const auto it = node->xattrs.find(name);
  if (it == node->xattrs.end()) {
    fuse_reply_err(req, ENODATA);
    return;
  }
  ReplySized(req, it->second, size);
}

void OpListxattr(fuse_req_t req, fuse_ino_t ino, std::size_t size) {
  Node* node = Existing(req, ino);
  if (!node) return;
  std::string names;
  for (const auto& [name, value] : node->xattrs) names.append(name).push_back('\0');
  ReplySized(req, names, size);
}

void OpRemovexattr(fuse_req_t req, fuse_ino_t ino, const char* name) {
  Node* node = Existing(req, ino);
  if (!node) return;
  if (node->xattrs.erase(name) == 0) {
    fuse_reply_err(req, ENODATA);
    return;
  }
  node->ctime = Now();
  fuse_reply_err(req, 0);
}

// Space is never short here: fallocate only lengthens the file's visible content.
void OpFallocate(fuse_req_t req, fuse_ino_t ino, int mode, off_t offset, off_t length,
                 fuse_file_info*) {
  Node* node = Existing(req, ino);
  if (!node) return;
  if (mode & ~FALLOC_FL_KEEP_SIZE) {
    fuse_reply_err(req, EOPNOTSUPP);
    return;
  }
  if (!node->IsFile() || offset < 0 || length <= 0) {
    fuse_reply_err(req, node->IsFile() ? EINVAL : ENODEV);
    return;
  }
  const auto end = static_cast<std::size_t>(offset) + static_cast<std::size_t>(length);
  if (!(mode & FALLOC_FL_KEEP_SIZE) && end > node->data.size()) {
    node->data.resize(end);
    Touch(*node);
  }
  fuse_reply_err(req, 0);
}

int Usage() {
  std::fprintf(stderr, "usage: powerloss_fs --dump FILE [--ready-fd N] MOUNTPOINT\n");
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dump, mountpoint;
  Daemon daemon;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--dump" && i + 1 < argc) {
      dump = argv[++i];
    } else if (arg == "--ready-fd" && i + 1 < argc) {
      char* end = nullptr;
      const long fd = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || fd < 0 || fd > INT_MAX) return Usage();
      daemon.ready_fd = static_cast<int>(fd);
    } else if (mountpoint.empty() && !arg.starts_with("-")) {
      mountpoint = argv[i];
    } else {
      return Usage();
    }
  }
  if (dump.empty() || mountpoint.empty()) return Usage();
  // A test killed half way leaves no mount behind: the daemon's signal handler ends the loop,
  // and the daemon unmounts as after any end.
  const pid_t parent = ::getppid();
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) return 1;
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    std::fprintf(stderr, "powerloss_fs: /dev/fuse: %s\n", std::strerror(errno));
    return kExitNoFuse;
  }

  fuse_lowlevel_ops ops{};
  ops.init = OpInit;
  ops.lookup = OpLookup;
  ops.forget = OpForget;
  ops.forget_multi = OpForgetMulti;
  ops.getattr = OpGetattr;
  ops.setattr = OpSetattr;
  ops.readlink = OpReadlink;
  ops.mknod = OpMknod;
  ops.mkdir = OpMkdir;
  ops.symlink = OpSymlink;
  ops.unlink = OpUnlink;
  ops.rmdir = OpRmdir;
  ops.rename = OpRename;
  ops.link = OpLink;
  ops.open = OpOpen;
  ops.create = OpCreate;
  ops.read = OpRead;
  ops.write = OpWrite;
  ops.flush = OpFlush;
  ops.release = OpRelease;
  ops.fsync = OpFsync;
  ops.opendir = OpOpendir;
  ops.readdir = OpReaddir;
  ops.releasedir = OpReleasedir;
  ops.fsyncdir = OpFsyncdir;
  ops.statfs = OpStatfs;
  ops.setxattr = OpSetxattr;
  ops.getxattr = OpGetxattr;
  ops.listxattr = OpListxattr;
  ops.removexattr = OpRemovexattr;
  ops.fallocate = OpFallocate;

  // The kernel checks permissions from the modes; as root, other users may use the mount too
  // (a user needs user_allow_other in /etc/fuse.conf for that, and the tests do not need it).
  std::string options = "default_permissions,fsname=powerloss,subtype=powerloss";
  if (::geteuid() == 0) options += ",allow_other";
  std::vector<std::string> words = {argv[0], "-o", options};
  std::vector<char*> args;
  for (std::string& word : words) args.push_back(word.data());
  fuse_args fargs = FUSE_ARGS_INIT(static_cast<int>(args.size()), args.data());
  fuse_session* session = fuse_session_new(&fargs, &ops, sizeof ops, &daemon);
  if (!session) return 1;
  if (fuse_set_signal_handlers(session) != 0) {
    fuse_session_destroy(session);
    return 1;
  }
  if (fuse_session_mount(session, mountpoint.c_str()) != 0) {
    std::fprintf(stderr, "powerloss_fs: the mount on %s was refused\n", mountpoint.c_str());
    fuse_remove_signal_handlers(session);
    fuse_session_destroy(session);
    return kExitNoFuse;
  }
  // One thread: requests are answered in the order they come, and the cuts follow that order.
  const int loop = fuse_session_loop(session);
  fuse_session_unmount(session);
  fuse_remove_signal_handlers(session);
  fuse_session_destroy(session);
  if (daemon.ready_fd >= 0) ::close(daemon.ready_fd);
  if (!daemon.fs.WriteDump(dump)) {
    std::fprintf(stderr, "powerloss_fs: cannot write %s\n", dump.c_str());
    return 1;
  }
  return loop == 0 ? 0 : 1;
}
