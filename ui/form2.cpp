#include "form2.h"

#include <QPainter>
#include <cmath>

#include "click_label.h"
#include "links.h"
#include "module1.h"
#include "skip_taskbar.h"

namespace slimtag {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kLeftTwips = -680;
constexpr int kTopTwips = -1250;

int PixelsOffset(int pixel, int twips) {
  return static_cast<int>(
      std::lround(static_cast<double>(pixel * kTwipsPerPixel + twips) / kTwipsPerPixel));
}

}  // namespace

QPoint BannerPosition(const QPoint& frame_top_left) {
  return {PixelsOffset(frame_top_left.x(), kLeftTwips),
          PixelsOffset(frame_top_left.y(), kTopTwips)};
}

Form2::Form2(Shell& shell)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      shell_(shell),
      picture_(QStringLiteral(":/images/banner.gif")),
      image1_(new ClickLabel(this)) {
  setObjectName(QStringLiteral("Form2"));
  setFixedSize(468, 60);
  setCursor(Qt::PointingHandCursor);
  // The picture is the window's own; Image1 only takes the clicks, over all of it but a strip
  // three pixels wide along the right and bottom edges, where a click does nothing.
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setGeometry(0, 0, 465, 57);
  // Named as the picture reads. The banner is a window of its own that the keyboard never
  // reaches: a focus frame would only mark the picture.
  setAccessibleName(QStringLiteral("Velmora Soft: Программы для веб-мастеров"));
  image1_->setAccessibleName(QStringLiteral("www.velmora-soft.example"));
  image1_->setFocusPolicy(Qt::NoFocus);
  connect(image1_, &ClickLabel::clicked, this, &Form2::Image1Click);
}

void Form2::paintEvent(QPaintEvent*) {
  QPainter(this).drawPixmap(0, 0, picture_);
}

// A window manager drops the task-bar state whenever the window is hidden.
void Form2::showEvent(QShowEvent* event) {
  KeepOffTaskbar(this);
  QWidget::showEvent(event);
}

void Form2::Image1Click() {
  dismissed_ = true;
  hide();
  shell_.Open(QString::fromLatin1(kMakerSite));
}

}  // namespace slimtag
