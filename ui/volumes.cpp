#include "volumes.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <map>

namespace slimtag {

namespace {

// File systems of the kernel and of memory: nothing a user keeps pages on.
constexpr const char* kPseudoTypes[] = {
    "autofs",     "binfmt_misc", "bpf",      "cgroup",   "cgroup2", "configfs",
    "debugfs",    "devpts",      "devtmpfs", "efivarfs", "fusectl", "hugetlbfs",
    "mqueue",     "nsfs",        "proc",     "pstore",   "ramfs",   "rpc_pipefs",
    "securityfs", "selinuxfs",   "sysfs",    "tmpfs",    "tracefs", "fuse.gvfsd-fuse",
    "fuse.portal"};

bool IsUnder(const QString& path, const QString& folder) {
  return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

QByteArray ParentOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash <= 0) return QByteArrayLiteral("/");
  return path.left(slash);
}

}  // namespace

bool IsUserVolume(const QString& root, const QByteArray& file_system_type) {
  for (const char* type : kPseudoTypes) {
    if (file_system_type == type) return false;
  }
  if (IsUnder(root, QStringLiteral("/run/media"))) return true;
  for (const char* system : {"/proc", "/sys", "/dev", "/run", "/snap"}) {
    if (IsUnder(root, QString::fromLatin1(system))) return false;
  }
  return true;
}

std::vector<Volume> WithRootFirst(std::vector<Volume> volumes) {
  const auto root = std::find_if(volumes.begin(), volumes.end(),
                                 [](const Volume& volume) { return volume.root == "/"; });
  if (root == volumes.end()) {
    volumes.insert(volumes.begin(), {QStringLiteral("/"), QStringLiteral("корень")});
  } else {
    std::rotate(volumes.begin(), root, root + 1);
  }
  return volumes;
}

std::vector<Volume> MountedVolumes::List() const {
  // A later mount on the same point hides the earlier one.
  std::map<QString, Volume> by_root;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    const QString root = info.rootPath();
    if (!info.isValid() || !IsUserVolume(root, info.fileSystemType())) continue;
    if (!QFileInfo(root).isDir()) continue;  // a single file bound into place
    const QString name = info.name();
    by_root[root] = {root, name.isEmpty() ? QString::fromLatin1(info.fileSystemType()) : name};
  }
  std::vector<Volume> volumes;
  for (auto& [root, volume] : by_root) volumes.push_back(std::move(volume));
  return WithRootFirst(std::move(volumes));
}

QString MountedVolumes::MountPointOf(const QByteArray& folder) const {
  // QStorageInfo needs a path that exists and that its text spells exactly.
  for (QByteArray path = folder.isEmpty() ? QByteArrayLiteral("/") : folder;;
       path = ParentOf(path)) {
    const QString name = QFile::decodeName(path);
    if (QFile::encodeName(name) == path) {
      const QStorageInfo info(name);
      if (info.isValid()) return info.rootPath();
    }
    if (path == "/") return QStringLiteral("/");
  }
}

FolderStatus MountedVolumes::Probe(const QString& mount_point) const {
  // "/" cannot be unmounted, and in a chroot it is no mount point at all.
  if (mount_point == QLatin1String("/")) {
    return QFileInfo(mount_point).isReadable() ? FolderStatus::kReady : FolderStatus::kFailed;
  }
  const QStorageInfo info(mount_point);
  // Once unmounted, the mount point's folder belongs to the file system around it.
  if (!info.isValid() || !info.isReady() || info.rootPath() != mount_point) {
    return FolderStatus::kNotReady;
  }
  return FolderStatus::kReady;
}

FolderStatus StatusOfReadError(std::error_code error) {
  if (!error) return FolderStatus::kReady;
  if (error.category() != std::generic_category() && error.category() != std::system_category()) {
    return FolderStatus::kFailed;
  }
  switch (error.value()) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
    case EREMOTEIO:
      return FolderStatus::kNotReady;
    default:
      return FolderStatus::kFailed;
  }
}

}  // namespace slimtag
