#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <system_error>

#include "run/platform.h"
#include "volumes.h"

class QWidget;

namespace slimtag {

class DriveList;
class FileList;
class FolderList;
class MessageBoxes;
class RpButton;

// The file panel's behaviour: the drive list (Drive1), the folder list (Dir1) and the
// multi-selection list of the folder's pages (File1) kept in step, and the two buttons that select
// or clear every page.
class FilePanel : public QObject {
  Q_OBJECT

 public:
  // The volumes, the message boxes and the platform, through which the pages are listed, must
  // outlive the panel; window is the boxes' parent.
  FilePanel(DriveList* drive1, FolderList* dir1, FileList* file1, RpButton* select_all,
            RpButton* clear_all, const Volumes& volumes, MessageBoxes& message_boxes,
            Platform& platform, QWidget* window);

  // Dir1.Path, in the file system's bytes.
  QByteArray Path() const;

  int EntryCount() const;
  // The entry's name as the file system spells it.
  QByteArray EntryName(int index) const;
  bool EntrySelected(int index) const;
  // Reads the folder's pages again, every entry unselected.
  void Refresh();
  // Where the last reading found the folder: a run holds to that folder, and stops in one
  // swapped since.
  const ListedFolders& Listed() const { return listed_; }
  // Shows the folder the window starts on, reached through its drive. Where it cannot be read,
  // the nearest folder above it that can is shown, and once the window's events run a message
  // says which folder could not be read and why.
  void ShowStartFolder(const QByteArray& folder);

 private:
  void DriveChanged();
  void FolderChanged();
  void Warn(FolderStatus status);

  DriveList* drive1_;
  FolderList* dir1_;
  FileList* file1_;
  MessageBoxes& message_boxes_;
  Platform& platform_;
  QWidget* window_;
  ListedFolders listed_;
};

// What the panel says when a drive or folder cannot be shown.
QString FolderStatusMessage(FolderStatus status);
// The same for a folder that could not be read, with its name and the reason.
QString FolderFailureMessage(FolderStatus status, const QByteArray& folder, std::error_code error);
// What the panel says when the start folder could not be read and another is shown.
QString StartFolderMessage(const QByteArray& folder, std::error_code error,
                           const QByteArray& shown);

}  // namespace slimtag
