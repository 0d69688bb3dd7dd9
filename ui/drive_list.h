#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QString>

#include "volumes.h"

namespace slimtag {

// Drive1: the drop-down list of the mounted file systems. Its drive is a mount point; given any
// path it takes the drive that holds it. The list is read again each time it drops down, so media
// mounted meanwhile appear.
class DriveList : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveList(QWidget* parent = nullptr);

  // Needed before the first drive is set; not owned.
  void SetVolumes(const Volumes* volumes);

  // Drive1.Drive: the current drive's mount point; empty until the first one is set.
  const QString& Drive() const { return drive_; }
  // Makes the drive holding the path current; a change emits driveChanged.
  void SetDrive(const QByteArray& path);

  void showPopup() override;

 signals:
  void driveChanged();

 private:
  void Fill();
  void Show(const QString& mount_point);
  void EntryChosen(int index);
  void ChangeTo(const QString& mount_point);

  const Volumes* volumes_ = nullptr;
  QString drive_;
};

}  // namespace slimtag
