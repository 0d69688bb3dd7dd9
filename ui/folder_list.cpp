#include "folder_list.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <filesystem>

#include "display_name.h"
#include "run/page_list.h"

namespace slimtag {

namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndent = 8;

// Draws each entry moved in by its level, so that the path reads as a staircase down to the
// current folder and the sub-folders stand one step further in.
class LevelDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem indented = option;
    indented.rect.adjust(Indent(index), 0, 0, 0);
    QStyledItemDelegate::paint(painter, indented, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
  }

 private:
  static int Indent(const QModelIndex& index) { return index.data(kLevelRole).toInt() * kIndent; }
};

std::filesystem::path FsPath(const QByteArray& bytes) {
  return std::filesystem::path(bytes.toStdString());
}

QByteArray Bytes(const std::filesystem::path& path) {
  return QByteArray::fromStdString(path.native());
}

bool IsFolder(const QByteArray& path) {
  std::error_code error;
  return std::filesystem::is_directory(FsPath(path), error);
}

}  // namespace

QByteArray CleanFolderPath(const QByteArray& folder) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(FsPath(folder), error);
  if (error) path = FsPath(folder);
  QByteArray clean = Bytes(path.lexically_normal());
  while (clean.size() > 1 && clean.endsWith('/')) clean.chop(1);
  return clean;
}

std::error_code ReadSubFolders(const QByteArray& folder, QList<QByteArray>* names) {
  std::vector<std::string> found;
  std::error_code error;
  for (std::filesystem::directory_iterator it(FsPath(folder), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().native();
    if (name.empty() || name[0] == '.') continue;
    std::error_code type_error;
    if (it->is_directory(type_error)) found.push_back(name);  // follows links to folders
  }
  if (error) return error;
  std::sort(found.begin(), found.end(),
            [](const std::string& a, const std::string& b) { return PageNameLess(a, b); });
  names->clear();
  for (const std::string& name : found) names->push_back(QByteArray::fromStdString(name));
  return {};
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new LevelDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QListWidget::itemActivated, this, &FolderList::EntryActivated);
}

QByteArray FolderList::EntryFolder(const QListWidgetItem* item) {
  return item ? item->data(kFolderRole).toByteArray() : QByteArray();
}

FolderStatus FolderList::SetPath(const QByteArray& folder) {
  failure_ = {};
  const QByteArray clean = CleanFolderPath(folder);
  if (clean == path_) return FolderStatus::kReady;
  QList<QByteArray> sub_folders;
  if (const std::error_code error = ReadSubFolders(clean, &sub_folders)) {
    failure_ = {clean, error};
    return StatusOfReadError(error);
  }
  path_ = clean;
  drive_folders_[volumes_->MountPointOf(path_)] = path_;
  Fill(sub_folders);
  emit pathChanged();
  return FolderStatus::kReady;
}

FolderStatus FolderList::ShowDrive(const QString& mount_point) {
  failure_ = {};
  if (const FolderStatus status = volumes_->Probe(mount_point); status != FolderStatus::kReady) {
    return status;
  }
  const QByteArray root = CleanFolderPath(QFile::encodeName(mount_point));
  QByteArray folder = drive_folders_.value(mount_point, root);
  // The folder last shown may have been removed since; its drive is still there.
  while (folder != root && folder.startsWith(root) && !IsFolder(folder)) {
    folder = CleanFolderPath(folder + "/..");
  }
  return SetPath(folder);
}

void FolderList::Fill(const QList<QByteArray>& sub_folders) {
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  auto add = [this](const QIcon& icon, const QByteArray& name, const QByteArray& folder,
                    int level) {
    auto* item = new QListWidgetItem(icon, DisplayName(name), this);
    item->setData(kFolderRole, folder);
    item->setData(kLevelRole, level);
    return item;
  };

  int level = 0;
  QListWidgetItem* current = add(open, "/", "/", level);
  QByteArray walked;
  for (const QByteArray& part : path_.split('/')) {
    if (part.isEmpty()) continue;
    walked += '/' + part;
    current = add(open, part, walked, ++level);
  }
  const QByteArray prefix = path_ == "/" ? QByteArray() : path_;
  for (const QByteArray& name : sub_folders) add(closed, name, prefix + '/' + name, level + 1);
  setCurrentItem(current);
}

void FolderList::EntryActivated(QListWidgetItem* item) {
  const FolderStatus status = SetPath(EntryFolder(item));
  if (status != FolderStatus::kReady) emit openFailed(status);
}

}  // namespace slimtag
