#pragma once

#include <QObject>

namespace slimtag {

// Shows a widget's tool tip as the exact text it holds. Qt would take tips such as
// " Удалить пустые тэги (<P></P>; …) " for markup, swallowing the tags and the blanks.
class PlainToolTips : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  // Watches every widget under root that has a tool tip.
  void Watch(class QWidget* root);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace slimtag
