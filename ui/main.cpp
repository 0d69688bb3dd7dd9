#include <QApplication>

#include "form1.h"
#include "platform_choice.h"

int main(int argc, char** argv) {
  const QByteArray platform = slimtag::ChosenPlatform(
      qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
  if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("slimtag"));
  // The window loads as it is made (and shows the banner from the second start on), then
  // appears; the program ends when it is closed, since it closes the banner.
  slimtag::Form1 window;
  window.show();
  return app.exec();
}
