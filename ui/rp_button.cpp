#include "rp_button.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include "accessibility.h"

namespace slimtag {

namespace {

QColor Mix(const QColor& base, const QColor& tint, double amount) {
  return QColor::fromRgbF(base.redF() + (tint.redF() - base.redF()) * amount,
                          base.greenF() + (tint.greenF() - base.greenF()) * amount,
                          base.blueF() + (tint.blueF() - base.blueF()) * amount);
}

constexpr qreal kRadius = 4.0;

}  // namespace

RpButton::RpButton(QWidget* parent) : QAbstractButton(parent) {
  setFont(ButtonFont());
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::StrongFocus);
}

QFont RpButton::ButtonFont() {
  // Arial's metrics, which the fixed layout's captions are measured against; any sans-serif face
  // with Cyrillic letters will do when none of them is installed.
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                    QStringLiteral("Helvetica"), QStringLiteral("Nimbus Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(8.25);
  font.setWeight(QFont::Normal);
  return font;
}

void RpButton::setButtonStyle(int style) {
  style_ = style;
  // A separator is only a line: it takes no focus and lets clicks fall through to its panel.
  setFocusPolicy(IsSeparator() ? Qt::NoFocus : Qt::StrongFocus);
  setAttribute(Qt::WA_TransparentForMouseEvents, IsSeparator());
  // Nor is it a button to a screen reader.
  MarkAsDecoration(this, IsSeparator());
  update();
}

void RpButton::setValue(bool value) {
  if (value_ == value) return;
  value_ = value;
  update();
}

void RpButton::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter) {
    QAbstractButton::keyPressEvent(event);
    return;
  }
  // Held down, the key clicks once.
  if (!event->isAutoRepeat()) click();
  event->accept();
}

QSize RpButton::sizeHint() const {
  if (style_ == kVerticalSeparator) return {2, 25};
  if (style_ == kHorizontalSeparator) return {100, 9};
  const QSize size = fontMetrics().size(Qt::TextShowMnemonic, text());
  return {size.width() + 16, qMax(23, size.height() + 8)};
}

void RpButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (IsSeparator()) {
    PaintSeparator(painter);
  } else {
    PaintButton(painter);
  }
}

void RpButton::PaintSeparator(QPainter& painter) {
  const QColor line =
      Mix(palette().color(QPalette::Window), palette().color(QPalette::WindowText), 0.22);
  painter.setPen(QPen(line, 1.0));
  if (style_ == kVerticalSeparator) {
    const qreal x = width() / 2.0;
    painter.drawLine(QPointF(x, 3.5), QPointF(x, height() - 3.5));
  } else {
    const qreal y = qFloor(height() / 2.0) + 0.5;
    painter.drawLine(QPointF(0.5, y), QPointF(width() - 0.5, y));
  }
}

void RpButton::PaintButton(QPainter& painter) {
  const QPalette& pal = palette();
  const bool enabled = isEnabled();
  const bool hover = enabled && underMouse();
  const bool down = enabled && isDown();
  const QColor window = pal.color(QPalette::Window);
  const QColor accent = pal.color(QPalette::Highlight);
  const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

  QColor fill = Qt::transparent;
  QColor border = Qt::transparent;
  QColor text = pal.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
  if (style_ == kNavigationToggle) {
    if (value_) fill = Mix(window, accent, 0.16);
    if (hover) fill = Mix(window, accent, value_ ? 0.22 : 0.09);
    if (down) fill = Mix(window, accent, 0.28);
    if (value_ && enabled) text = Mix(pal.color(QPalette::ButtonText), accent, 0.55);
  } else {
    const QColor button = pal.color(QPalette::Button);
    fill = enabled ? button : Mix(button, window, 0.6);
    if (hover) fill = Mix(button, accent, 0.10);
    if (down) fill = Mix(button, accent, 0.24);
    border = Mix(window, pal.color(QPalette::WindowText), enabled ? 0.30 : 0.15);
  }
  if (hasFocus() && enabled) border = accent;

  QPainterPath path;
  path.addRoundedRect(frame, kRadius, kRadius);
  painter.fillPath(path, fill);
  if (border.alpha() > 0) {
    painter.setPen(QPen(border, 1.0));
    painter.drawPath(path);
  }
  if (style_ == kNavigationToggle && value_) {
    // The shown panel's toggle carries a bar along its foot, as a tab would.
    const QRectF bar(frame.left() + 6, frame.bottom() - 2.5, frame.width() - 12, 2.5);
    QPainterPath bar_path;
    bar_path.addRoundedRect(bar, 1.25, 1.25);
    painter.fillPath(bar_path, enabled ? accent : Mix(window, accent, 0.4));
  }

  painter.setPen(text);
  painter.setFont(font());
  const QRect text_rect = rect().adjusted(2, 0, -2, 0);
  const QString shown = fontMetrics().elidedText(this->text(), Qt::ElideRight, text_rect.width());
  painter.drawText(text_rect, Qt::AlignCenter | Qt::TextShowMnemonic, shown);
}

}  // namespace slimtag
