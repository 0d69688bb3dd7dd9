#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace slimtag {

class RpButton;

// The file panel until the drive, folder and file lists are built: a folder line, a list of
// the folder's sub-folders (Dir1) and the multi-selection list of its pages (File1).
class FilePanel : public QObject {
  Q_OBJECT

 public:
  FilePanel(QLineEdit* folder_line, QListWidget* dir1, QListWidget* file1, RpButton* select_all,
            RpButton* clear_all, QObject* parent = nullptr);

  // Moves the folder list to the folder; the file list follows with every entry unselected.
  void SetPath(const QString& folder);
  QString Path() const { return path_; }

  int EntryCount() const;
  // The entry's name as the file system spells it.
  QByteArray EntryName(int index) const;
  bool EntrySelected(int index) const;
  // Reads the folder's pages again.
  void Refresh();

 private:
  void FillFolders();
  void FolderActivated(QListWidgetItem* item);
  void FolderLineEntered();
  void SelectAll(bool selected);

  QLineEdit* folder_line_;
  QListWidget* dir1_;
  QListWidget* file1_;
  QString path_;
};

}  // namespace slimtag
