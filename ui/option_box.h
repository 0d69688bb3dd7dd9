#pragma once

#include <QCheckBox>

namespace slimtag {

// An option check box with the program's three states: 0 clear, 1 ticked, 2 greyed. Greyed is
// only ever set by the program (from the settings store); a click gives 0 or 1.
class OptionBox : public QCheckBox {
  Q_OBJECT

 public:
  using QCheckBox::QCheckBox;

  int Value() const;
  // A state other than 0, 1 or 2 cannot be shown; it counts as clear.
  void SetValue(int value);

 protected:
  void nextCheckState() override;
  // The whole box answers a click, not only the mark and the caption's letters: the option rows
  // are laid out wider than their captions.
  bool hitButton(const QPoint& pos) const override;
};

}  // namespace slimtag
