#include "file_panel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>

#include "page_list.h"
#include "rp_button.h"

namespace slimtag {

namespace {
constexpr int kFolderRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole;
}  // namespace

FilePanel::FilePanel(QLineEdit* folder_line, QListWidget* dir1, QListWidget* file1,
                     RpButton* select_all, RpButton* clear_all, QObject* parent)
    : QObject(parent), folder_line_(folder_line), dir1_(dir1), file1_(file1) {
  file1_->setSelectionMode(QAbstractItemView::MultiSelection);
  connect(dir1_, &QListWidget::itemActivated, this, &FilePanel::FolderActivated);
  connect(folder_line_, &QLineEdit::returnPressed, this, &FilePanel::FolderLineEntered);
  connect(select_all, &RpButton::clicked, this, [this] { SelectAll(true); });
  connect(clear_all, &RpButton::clicked, this, [this] { SelectAll(false); });
}

void FilePanel::SetPath(const QString& folder) {
  path_ = QDir::cleanPath(QDir(folder).absolutePath());
  folder_line_->setText(QDir::toNativeSeparators(path_));
  FillFolders();
  Refresh();
}

void FilePanel::FillFolders() {
  dir1_->clear();
  const QDir dir(path_);
  if (!dir.isRoot()) {
    auto* up = new QListWidgetItem(QStringLiteral(".."), dir1_);
    up->setData(kFolderRole, QFileInfo(path_).absolutePath());
  }
  const QFileInfoList folders =
      dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& info : folders) {
    auto* item = new QListWidgetItem(info.fileName(), dir1_);
    item->setData(kFolderRole, info.absoluteFilePath());
  }
}

void FilePanel::Refresh() {
  file1_->clear();
  for (const std::string& name : ListPages(QFile::encodeName(path_).toStdString())) {
    const QByteArray bytes = QByteArray::fromStdString(name);
    auto* item = new QListWidgetItem(QFile::decodeName(bytes), file1_);
    item->setData(kNameRole, bytes);
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

void FilePanel::FolderActivated(QListWidgetItem* item) {
  SetPath(item->data(kFolderRole).toString());
}

void FilePanel::FolderLineEntered() {
  const QString typed = QDir::fromNativeSeparators(folder_line_->text());
  if (QFileInfo(typed).isDir()) {
    SetPath(typed);
  } else {
    folder_line_->setText(QDir::toNativeSeparators(path_));
  }
}

void FilePanel::SelectAll(bool selected) {
  const int count = file1_->count();
  for (int i = 0; i < count; ++i) file1_->item(i)->setSelected(selected);
}

}  // namespace slimtag
