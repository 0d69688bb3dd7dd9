#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <cerrno>

#include "folder_list.h"
#include "volumes.h"

namespace slimtag {
namespace {

TEST(VolumesTest, OffersTheFileSystemsAUserPicksPagesFrom) {
  struct Case {
    const char* root;
    const char* type;
    bool offered;
  };
  const Case kCases[] = {
      {"/", "ext4", true},
      {"/", "overlay", true},
      {"/home", "btrfs", true},
      {"/media/anna/KINGSTON", "vfat", true},
      {"/run/media/anna/CARD", "exfat", true},
      {"/mnt/share", "nfs4", true},
      {"/mnt/office", "cifs", true},
      {"/mnt/cd", "iso9660", true},
      {"/proc", "proc", false},
      {"/sys", "sysfs", false},
      {"/sys/fs/cgroup", "cgroup2", false},
      {"/dev", "devtmpfs", false},
      {"/dev/pts", "devpts", false},
      {"/dev/shm", "tmpfs", false},
      {"/tmp", "tmpfs", false},
      {"/run", "tmpfs", false},
      {"/run/user/1000/doc", "fuse.portal", false},
      {"/run/credentials", "ramfs", false},
      {"/sys/kernel/debug", "debugfs", false},
      {"/proc/sys/fs/binfmt_misc", "autofs", false},
      {"/snap/core/100", "squashfs", false},
      {"/media/cdrom", "autofs", false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(IsUserVolume(QString::fromLatin1(c.root), c.type), c.offered)
        << c.root << " " << c.type;
  }
}

TEST(VolumesTest, ReadErrorsOfAMissingMediumMeanTheDiskIsNotReady) {
  struct Case {
    int error;
    FolderStatus status;
  };
  const Case kCases[] = {
      {0, FolderStatus::kReady},
      {EIO, FolderStatus::kNotReady},
      {ENXIO, FolderStatus::kNotReady},
      {ENODEV, FolderStatus::kNotReady},
      {ENOMEDIUM, FolderStatus::kNotReady},
      {ESTALE, FolderStatus::kNotReady},
      {ENOTCONN, FolderStatus::kNotReady},
      {EHOSTDOWN, FolderStatus::kNotReady},
      {ETIMEDOUT, FolderStatus::kNotReady},
      {EACCES, FolderStatus::kFailed},
      {EPERM, FolderStatus::kFailed},
      {ENOENT, FolderStatus::kFailed},
      {ENOTDIR, FolderStatus::kFailed},
      {ELOOP, FolderStatus::kFailed},
      {EMFILE, FolderStatus::kFailed},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(StatusOfReadError(std::error_code(c.error, std::generic_category())), c.status)
        << c.error;
  }
  EXPECT_EQ(StatusOfReadError(std::make_error_code(std::io_errc::stream)), FolderStatus::kFailed);
}

TEST(VolumesTest, AFolderLiesOnTheFileSystemThatHoldsIt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const MountedVolumes volumes;
  // Where no mount holds the folder (a chroot whose "/" is no mount point) it lies on "/".
  const QStorageInfo info(dir.path());
  const QString root = info.isValid() ? info.rootPath() : QStringLiteral("/");
  EXPECT_EQ(volumes.MountPointOf(QFile::encodeName(dir.path())), root);
  // A folder that is gone, or that Qt's text cannot spell, lies on the drive of its parent.
  EXPECT_EQ(volumes.MountPointOf(QFile::encodeName(dir.path()) + "/gone/deeper"), root);
  EXPECT_EQ(volumes.MountPointOf(QFile::encodeName(dir.path()) + "/caf\xe9"), root);
  EXPECT_EQ(volumes.MountPointOf("/"), QStringLiteral("/"));
}

// Whether "/" of this process is itself a mount point: in a chroot it is usually a folder of the
// file system around it. Read from the kernel's own list, field 5 being the mount point.
bool RootIsMountPoint() {
  QFile mounts(QStringLiteral("/proc/self/mountinfo"));
  if (!mounts.open(QIODevice::ReadOnly)) return false;
  // A file of /proc has no size: read to its end rather than ask atEnd().
  for (const QByteArray& line : mounts.readAll().split('\n')) {
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() > 4 && fields[4] == "/") return true;
  }
  return false;
}

TEST(VolumesTest, TheMountedFileSystemsIncludeTheRootAndAreReady) {
  if (!RootIsMountPoint()) {
    GTEST_SKIP() << "\"/\" is no mount point here (a chroot, or /proc not mounted): the real "
                    "drive list has no root drive to offer";
  }
  const MountedVolumes volumes;
  const std::vector<Volume> list = volumes.List();
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.front().root, QStringLiteral("/"));
  for (const Volume& volume : list) {
    EXPECT_FALSE(volume.label.isEmpty()) << qPrintable(volume.root);
    EXPECT_TRUE(QDir(volume.root).exists()) << qPrintable(volume.root);
  }
}

// Where "/" is no mount point (a chroot) the drive list still starts with it, and it is ready.
TEST(VolumesTest, TheRootIsTheFirstDriveAndReadyMountPointOrNot) {
  struct Case {
    std::vector<const char*> roots;
    std::vector<const char*> listed;
  };
  const Case kCases[] = {
      {{}, {"/"}},
      {{"/home", "/mnt/usb"}, {"/", "/home", "/mnt/usb"}},
      {{"/", "/home"}, {"/", "/home"}},
      {{"/boot", "/", "/home"}, {"/", "/boot", "/home"}},
  };
  for (const Case& c : kCases) {
    std::vector<Volume> volumes;
    for (const char* root : c.roots) volumes.push_back({QString::fromLatin1(root), "ext4"});
    QStringList listed;
    for (const Volume& volume : WithRootFirst(volumes)) listed << volume.root;
    QStringList expected;
    for (const char* root : c.listed) expected << QString::fromLatin1(root);
    EXPECT_EQ(listed, expected) << c.roots.size();
  }
  EXPECT_EQ(WithRootFirst({}).front().label, QStringLiteral("корень"));
  EXPECT_EQ(WithRootFirst({{"/", "btrfs"}}).front().label, QStringLiteral("btrfs"));
  const MountedVolumes volumes;
  EXPECT_EQ(volumes.List().front().root, QStringLiteral("/"));
  EXPECT_EQ(volumes.Probe(QStringLiteral("/")), FolderStatus::kReady);
}

// A mount point that has been unmounted is only a folder of the file system around it.
TEST(VolumesTest, AFolderThatIsNoMountPointIsNotReady) {
  if (!RootIsMountPoint()) {
    GTEST_SKIP() << "\"/\" is no mount point here (a chroot): no mount holds the scratch folder, "
                    "and Qt takes any folder outside the mounts for a root of its own";
  }
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("usb")));
  const MountedVolumes volumes;
  EXPECT_EQ(volumes.Probe(dir.filePath(QStringLiteral("usb"))), FolderStatus::kNotReady);
  EXPECT_EQ(volumes.Probe(dir.filePath(QStringLiteral("removed"))), FolderStatus::kNotReady);
}

TEST(FolderPathTest, PathsAreCleanedAsTheFolderListShowsThem) {
  struct Case {
    const char* given;
    const char* clean;
  };
  const Case kCases[] = {{"/", "/"},         {"/a/b/", "/a/b"},        {"/a//b", "/a/b"},
                         {"/a/./b", "/a/b"}, {"/a/c/../b", "/a/b"},    {"/a/b/..", "/a"},
                         {"/..", "/"},       {"/caf\xe9/", "/caf\xe9"}};
  for (const Case& c : kCases) EXPECT_EQ(CleanFolderPath(c.given), QByteArray(c.clean)) << c.given;
  EXPECT_EQ(CleanFolderPath("sub"), QFile::encodeName(QDir::currentPath()) + "/sub");
}

TEST(FolderPathTest, SubFoldersAreSortedWithHiddenOnesAndFilesLeftOut) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* name : {"beta", "Alpha", ".config", "Юг", "alpha2"}) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromUtf8(name)));
  }
  QFile file(dir.filePath(QStringLiteral("page.htm")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_TRUE(
      QFile::link(dir.filePath(QStringLiteral("beta")), dir.filePath(QStringLiteral("link"))));
  QList<QByteArray> names;
  EXPECT_FALSE(ReadSubFolders(QFile::encodeName(dir.path()), &names));
  EXPECT_EQ(names,
            (QList<QByteArray>{"Alpha", "alpha2", "beta", "link", QStringLiteral("Юг").toUtf8()}));
  EXPECT_EQ(ReadSubFolders(QFile::encodeName(dir.path()) + "/none", &names),
            std::error_code(ENOENT, std::generic_category()));
}

}  // namespace
}  // namespace slimtag
