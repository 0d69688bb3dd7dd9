#pragma once

#include <QAbstractButton>
#include <QFont>

namespace slimtag {

// The window's one button control: push buttons, the navigation toggles and the thin separator
// lines are all this widget, told apart by their style number.
class RpButton : public QAbstractButton {
  Q_OBJECT
  Q_PROPERTY(int buttonStyle READ buttonStyle WRITE setButtonStyle)
  Q_PROPERTY(bool value READ value WRITE setValue)

 public:
  enum Style {
    kPushButton = 1,
    kVerticalSeparator = 2,
    kHorizontalSeparator = 3,
    kNavigationToggle = 7,
  };

  explicit RpButton(QWidget* parent = nullptr);

  int buttonStyle() const { return style_; }
  void setButtonStyle(int style);

  // The pressed look of a navigation toggle; the program sets it, a click does not.
  bool value() const { return value_; }
  void setValue(bool value);

  bool IsSeparator() const {
    return style_ == kVerticalSeparator || style_ == kHorizontalSeparator;
  }

  // The face every button of the window uses (and the window itself): sans-serif 8.25 points.
  static QFont ButtonFont();

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Return and Enter press the focused button, as Space does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PaintSeparator(class QPainter& painter);
  void PaintButton(class QPainter& painter);

  int style_ = kPushButton;
  bool value_ = false;
};

}  // namespace slimtag
