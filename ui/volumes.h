#pragma once

#include <QByteArray>
#include <QString>
#include <system_error>
#include <vector>

namespace slimtag {

// A file system the drive list offers: where it is mounted and a short label to tell it by (the
// volume's name, or its file system type when it has none).
struct Volume {
  QString root;
  QString label;
  bool operator==(const Volume&) const = default;
};

// Whether a drive or a folder on it can be shown: kNotReady when the medium cannot be read at all
// (unmounted meanwhile, no medium, I/O error, device gone), kFailed for any other failure.
enum class FolderStatus { kReady, kNotReady, kFailed };

// The drives of the file chooser: the mounted file systems.
class Volumes {
 public:
  virtual ~Volumes() = default;
  // The file systems a user would pick, the root first, then by mount point.
  virtual std::vector<Volume> List() const = 0;
  // The mount point of the file system that holds the folder (a path in the file system's bytes);
  // a folder that no longer exists counts as lying on the drive of its nearest existing parent.
  virtual QString MountPointOf(const QByteArray& folder) const = 0;
  // Whether the file system is still mounted there and can be read.
  virtual FolderStatus Probe(const QString& mount_point) const = 0;
};

// The mounted file systems as the system reports them (QStorageInfo).
class MountedVolumes final : public Volumes {
 public:
  std::vector<Volume> List() const override;
  QString MountPointOf(const QByteArray& folder) const override;
  FolderStatus Probe(const QString& mount_point) const override;
};

// The drives with "/" first, added as "/ [корень]" where it is no mount point of its own (in a
// chroot): every folder lies on it, and the folder list leads there from anywhere.
std::vector<Volume> WithRootFirst(std::vector<Volume> volumes);

// Whether a mounted file system is one a user would pick pages from: not a kernel or memory file
// system (proc, sysfs, cgroup, devtmpfs, tmpfs, …) and not mounted under /proc, /sys, /dev, /run
// (removable media under /run/media aside) or /snap.
bool IsUserVolume(const QString& root, const QByteArray& file_system_type);

// What a failure to read a folder means to the user: errors of a medium or device that is not
// there give kNotReady, the rest kFailed.
FolderStatus StatusOfReadError(std::error_code error);

}  // namespace slimtag
