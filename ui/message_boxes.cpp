#include "message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

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

bool ModalMessageBoxes::Ask(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Slimtag"), question,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  // Russian whether or not Qt's own translation could be loaded.
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  // A stray Enter, Escape or close goes on as before.
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool yes = box.exec() == QMessageBox::Yes;
  QGuiApplication::restoreOverrideCursor();
  return yes;
}

}  // namespace slimtag
