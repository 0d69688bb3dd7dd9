#include <QApplication>
#include <cstdio>

#include "form1.h"
#include "platform_choice.h"
#include "qt_translation.h"
#include "x11_display.h"

namespace {

void Complain(const QString& text) {
  std::fprintf(stderr, "slimtag: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
  const QByteArray platform = slimtag::ChosenPlatform(
      qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
  if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
  // Said before Qt, which would abort with its own English message.
  const QString no_display =
      slimtag::MissingDisplayReason(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"),
                                    qgetenv("WAYLAND_DISPLAY"), slimtag::X11DisplayAnswers);
  if (!no_display.isEmpty()) {
    Complain(no_display);
    return 1;
  }
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("slimtag"));
  if (const QString failed = slimtag::InstallQtRussian(app); !failed.isEmpty()) Complain(failed);
  // The window loads as it is made (and shows the banner from the second start on), then
  // appears; the program ends when it is closed, since it closes the banner.
  slimtag::Form1 window;
  window.show();
  return app.exec();
}
