#pragma once

#include <QByteArray>
#include <QHash>
#include <QListWidget>
#include <QString>
#include <system_error>

#include "volumes.h"

namespace slimtag {

// Dir1: the folders from the file-system root down to the current folder, each a level further
// in, then the current folder's sub-folders one level further (sorted as the file list sorts,
// hidden ones not listed). Opening an entry (double-click or Enter) makes it the current folder.
//
// Paths are the file system's bytes: a name that is not valid UTF-8 is still a folder one can open.
class FolderList : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  // Needed before the first path is set; not owned.
  void SetVolumes(const Volumes* volumes) { volumes_ = volumes; }

  // Dir1.Path: the current folder; empty until the first one is set.
  const QByteArray& Path() const { return path_; }
  // Makes the folder current. On a failure nothing changes; a change emits pathChanged.
  FolderStatus SetPath(const QByteArray& folder);
  // Moves to the drive's current folder: the last folder shown on it, its mount point before that
  // (or, when that folder has gone meanwhile, its nearest parent still there).
  FolderStatus ShowDrive(const QString& mount_point);

  // The folder of an entry.
  static QByteArray EntryFolder(const QListWidgetItem* item);

  // The folder the last SetPath or ShowDrive could not read, and why; no error when it read its
  // folder or failed before reading one (a drive that is not there).
  struct ReadFailure {
    QByteArray folder;
    std::error_code error;
  };
  const ReadFailure& LastReadFailure() const { return failure_; }

 signals:
  void pathChanged();
  // Opening an entry failed; the list stays on its folder.
  void openFailed(FolderStatus status);

 private:
  void Fill(const QList<QByteArray>& sub_folders);
  void EntryActivated(QListWidgetItem* item);

  const Volumes* volumes_ = nullptr;
  QByteArray path_;
  ReadFailure failure_;
  QHash<QString, QByteArray> drive_folders_;  // mount point → last folder shown on it
};

// The sub-folders of a folder by name, in file-list order, hidden ones (starting with ".") left
// out; the error if the folder cannot be read.
std::error_code ReadSubFolders(const QByteArray& folder, QList<QByteArray>* names);

// "/a/b/" and "/a/./c/../b" alike become "/a/b"; a relative path is taken from the working folder.
QByteArray CleanFolderPath(const QByteArray& folder);

}  // namespace slimtag
