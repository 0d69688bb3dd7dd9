#include "file_panel.h"

#include "display_name.h"
#include "drive_list.h"
#include "file_list.h"
#include "folder_list.h"
#include "message_boxes.h"
#include "rp_button.h"
#include "run/messages.h"
#include "run/page_list.h"

namespace slimtag {

namespace {
constexpr int kNameRole = Qt::UserRole;
}  // namespace

QString FolderStatusMessage(FolderStatus status) {
  return status == FolderStatus::kNotReady ? QStringLiteral("Диск не готов.")
                                           : QStringLiteral("Непонятная ошибка.");
}

QString FolderFailureMessage(FolderStatus status, const QByteArray& folder, std::error_code error) {
  return FolderStatusMessage(status) +
         QStringLiteral("\nНе удалось открыть папку «%1»: %2.")
             .arg(DisplayName(folder), QString::fromStdString(ReasonText(error.value())));
}

QString StartFolderMessage(const QByteArray& folder, std::error_code error,
                           const QByteArray& shown) {
  return QStringLiteral(
             "Не удалось прочитать начальную папку «%1»: %2.\nОткрыта ближайшая "
             "папка выше неё: «%3».")
      .arg(DisplayName(folder), QString::fromStdString(ReasonText(error.value())),
           DisplayName(shown));
}

FilePanel::FilePanel(DriveList* drive1, FolderList* dir1, FileList* file1, RpButton* select_all,
                     RpButton* clear_all, const Volumes& volumes, MessageBoxes& message_boxes,
                     Platform& platform, QWidget* window)
    : QObject(window),
      drive1_(drive1),
      dir1_(dir1),
      file1_(file1),
      message_boxes_(message_boxes),
      platform_(platform),
      window_(window) {
  drive1_->SetVolumes(&volumes);
  dir1_->SetVolumes(&volumes);
  connect(drive1_, &DriveList::driveChanged, this, &FilePanel::DriveChanged);
  connect(dir1_, &FolderList::pathChanged, this, &FilePanel::FolderChanged);
  connect(dir1_, &FolderList::openFailed, this, &FilePanel::Warn);
  connect(select_all, &RpButton::clicked, this, [this] { file1_->SetAllSelected(true); });
  connect(clear_all, &RpButton::clicked, this, [this] { file1_->SetAllSelected(false); });
}

QByteArray FilePanel::Path() const {
  return dir1_->Path();
}

// Drive1's change: the folder list moves to the drive's current folder. A drive that cannot be read
// leaves the lists as they were, and the drive list goes back to the drive of the folder shown.
void FilePanel::DriveChanged() {
  const FolderStatus status = dir1_->ShowDrive(drive1_->Drive());
  if (status == FolderStatus::kReady) return;
  Warn(status);
  if (status == FolderStatus::kNotReady) drive1_->SetDrive(dir1_->Path());
}

// Dir1's change: the file list shows the new folder, and the drive list the drive that holds it
// (the folder list can lead onto another mounted file system).
void FilePanel::FolderChanged() {
  Refresh();
  drive1_->SetDrive(dir1_->Path());
}

void FilePanel::Warn(FolderStatus status) {
  const FolderList::ReadFailure& failure = dir1_->LastReadFailure();
  message_boxes_.Show(window_,
                      failure.error ? FolderFailureMessage(status, failure.folder, failure.error)
                                    : FolderStatusMessage(status),
                      MessageIcon::kWarning);
}

void FilePanel::ShowStartFolder(const QByteArray& folder) {
  drive1_->SetDrive(folder);
  QByteArray tried = CleanFolderPath(folder);
  if (dir1_->SetPath(tried) == FolderStatus::kReady) return;
  const FolderList::ReadFailure failure = dir1_->LastReadFailure();
  if (!failure.error) return;  // its drive is not there: the drive list has said so
  // The root is always there to fall back on; a folder already shown reads as ready.
  while (tried != "/") {
    tried = CleanFolderPath(tried + "/..");
    if (dir1_->SetPath(tried) == FolderStatus::kReady) break;
  }
  // Said once the window is up, above it rather than before it.
  const QString text = StartFolderMessage(failure.folder, failure.error, dir1_->Path());
  QMetaObject::invokeMethod(
      this, [this, text] { message_boxes_.Show(window_, text, MessageIcon::kWarning); },
      Qt::QueuedConnection);
}

void FilePanel::Refresh() {
  file1_->clear();
  listed_.clear();
  // An unreadable folder shows as an empty one.
  std::error_code error;
  for (const std::string& name :
       ListPages(platform_, dir1_->Path().toStdString(), error, &listed_)) {
    const QByteArray bytes = QByteArray::fromStdString(name);
    // Whole before it joins the list: an item made in the list looks for itself among all the
    // list's entries as its text is set, which makes a folder of many pages slow to list.
    auto* item = new QListWidgetItem(DisplayName(bytes));
    item->setData(kNameRole, bytes);
    file1_->addItem(item);
  }
}

int FilePanel::EntryCount() const {
  return file1_->count();
}

QByteArray FilePanel::EntryName(int index) const {
  const QListWidgetItem* item = file1_->item(index);
  return item ? item->data(kNameRole).toByteArray() : QByteArray();
}

bool FilePanel::EntrySelected(int index) const {
  const QListWidgetItem* item = file1_->item(index);
  return item && item->isSelected();
}

}  // namespace slimtag
