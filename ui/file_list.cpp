#include "file_list.h"

#include <QKeyEvent>

namespace slimtag {

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::MultiSelection);
}

// Selecting entry by entry costs a merge of the whole selection each time; one range is one merge.
void FileList::SetAllSelected(bool selected) {
  const int entries = count();
  if (entries == 0) return;
  const QItemSelection all(model()->index(0, 0), model()->index(entries - 1, 0));
  selectionModel()->select(all,
                           selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

// Qt's list also hands the blank of Space to its type-ahead search, which moves the current entry
// on to a name that begins with a blank: the next Space would toggle that one.
void FileList::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space && event->key() != Qt::Key_Select) {
    QListWidget::keyPressEvent(event);
    return;
  }
  const QModelIndex current = currentIndex();
  if (current.isValid()) selectionModel()->select(current, QItemSelectionModel::Toggle);
  event->accept();
}

}  // namespace slimtag
