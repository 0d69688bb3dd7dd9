#pragma once

#include <QLabel>

namespace slimtag {

// A label that answers a click: pressed and released with the left button over it. It is a link
// to the keyboard too: Tab reaches it, and Return, Enter or Space click it.
class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickLabel(QWidget* parent = nullptr);

  void Click() { emit clicked(); }

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace slimtag
