#include <QApplication>
#include <QScreen>

#include "form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  slimtag::Form1 window;
  if (const QScreen* screen = window.screen()) {
    window.move(screen->availableGeometry().center() - window.rect().center());
  }
  window.show();
  return app.exec();
}
