#pragma once

#include <QString>

#include "run/run_host.h"

class QWidget;

namespace slimtag {

// How the window shows its messages; the tests put a recorder in its place.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Returns when the user has dismissed the message.
  virtual void Show(QWidget* parent, const QString& text, MessageIcon icon) = 0;
  // A yes-or-no question; true for yes.
  virtual bool Ask(QWidget* parent, const QString& question) = 0;
};

// A modal box titled "Slimtag" with the icon and one OK button; a question with «Да» and «Нет»,
// «Нет» the default.
class ModalMessageBoxes final : public MessageBoxes {
 public:
  void Show(QWidget* parent, const QString& text, MessageIcon icon) override;
  bool Ask(QWidget* parent, const QString& question) override;
};

}  // namespace slimtag
