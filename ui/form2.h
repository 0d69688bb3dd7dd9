#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>

namespace slimtag {

class ClickLabel;
class Shell;

// The banner window: the maker's advertising picture riding above the main window from the
// second start on. Borderless, no title bar, no task-bar entry, a window of its own (no owner).
// A click on its picture hides it and opens the maker's web site.
class Form2 : public QWidget {
  Q_OBJECT

 public:
  // The shell must outlive the window.
  explicit Form2(Shell& shell);

  // Whether a click has hidden the banner; nothing shows it again for the rest of the run.
  bool Dismissed() const { return dismissed_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Image1Click();

  Shell& shell_;
  QPixmap picture_;
  ClickLabel* image1_;
  bool dismissed_ = false;
};

// The banner's place for the main window's outer frame at frame_top_left: 680 twips further left
// and 1250 twips higher, at 15 twips to the pixel (96 dots per inch), rounded to whole pixels.
QPoint BannerPosition(const QPoint& frame_top_left);

}  // namespace slimtag
