#pragma once

#include <QListWidget>

namespace slimtag {

// File1: the folder's pages, any number of them selected; a click or Space toggles the entry
// concerned and no other.
class FileList : public QListWidget {
  Q_OBJECT

 public:
  explicit FileList(QWidget* parent = nullptr);

  // Every entry selected or none, in one change of the selection.
  void SetAllSelected(bool selected);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace slimtag
