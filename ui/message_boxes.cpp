#include "message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace slimtag {

void ModalMessageBoxes::Show(QWidget* parent, const QString& text, MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::Information,
                  QStringLiteral("Slimtag"), text, QMessageBox::Ok, parent);
  // File names may hold "<" or "&": never let them turn into markup.
  box.setTextFormat(Qt::PlainText);
  // The run's hourglass is over the whole application; the box waits for the user, so it shows
  // the normal pointer.
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  QGuiApplication::restoreOverrideCursor();
}

}  // namespace slimtag
