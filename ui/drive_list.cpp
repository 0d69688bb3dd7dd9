#include "drive_list.h"

#include <QAbstractItemView>
#include <QSignalBlocker>

namespace slimtag {

namespace {
constexpr int kRootRole = Qt::UserRole;
}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  // No label stands beside the list; on Linux a screen reader names the box by the drive shown,
  // but its drop-down list by this.
  const QString name = QStringLiteral("Диск");
  setAccessibleName(name);
  view()->setAccessibleName(name);
  connect(this, &QComboBox::activated, this, &DriveList::EntryChosen);
}

void DriveList::SetVolumes(const Volumes* volumes) {
  volumes_ = volumes;
  Fill();
}

void DriveList::SetDrive(const QByteArray& path) {
  ChangeTo(volumes_->MountPointOf(path));
}

// A chosen entry is its own drive, even when it is no longer mounted: the change handler is
// the one to find out.
void DriveList::EntryChosen(int index) {
  ChangeTo(itemData(index, kRootRole).toString());
}

void DriveList::ChangeTo(const QString& mount_point) {
  Show(mount_point);
  if (mount_point == drive_) return;
  drive_ = mount_point;
  emit driveChanged();
}

void DriveList::showPopup() {
  Fill();
  QComboBox::showPopup();
}

void DriveList::Fill() {
  const QSignalBlocker quiet(this);
  clear();
  for (const Volume& volume : volumes_->List()) {
    addItem(QStringLiteral("%1 [%2]").arg(volume.root, volume.label), volume.root);
  }
  if (!drive_.isEmpty()) Show(drive_);
}

// Selects the drive's entry, adding one for a file system the list does not offer (the folder list
// can lead onto any of them).
void DriveList::Show(const QString& mount_point) {
  const QSignalBlocker quiet(this);
  int index = findData(mount_point, kRootRole);
  if (index < 0) {
    addItem(mount_point, mount_point);
    index = count() - 1;
  }
  setCurrentIndex(index);
}

}  // namespace slimtag
