#include "option_box.h"

namespace slimtag {

int OptionBox::Value() const {
  switch (checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    default:
      return 0;
  }
}

void OptionBox::SetValue(int value) {
  switch (value) {
    case 1:
      setCheckState(Qt::Checked);
      break;
    case 2:
      setCheckState(Qt::PartiallyChecked);
      break;
    default:
      setCheckState(Qt::Unchecked);
      break;
  }
}

void OptionBox::nextCheckState() {
  setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
}

bool OptionBox::hitButton(const QPoint& pos) const {
  return rect().contains(pos);
}

}  // namespace slimtag
