#include "platform_choice.h"

namespace slimtag {

namespace {

constexpr char kWhatTheWindowNeeds[] =
    " Окну Slimtag нужен графический сеанс X11 или XWayland; без окна страницы обрабатывает "
    "slimtag-batch.";

}  // namespace

QByteArray ChosenPlatform(const QByteArray& qpa_platform, const QByteArray& wayland_display,
                          const QByteArray& session_type) {
  if (!qpa_platform.isEmpty()) return {};
  if (wayland_display.isEmpty() && session_type != "wayland") return {};
  return QByteArrayLiteral("xcb;wayland");
}

QString MissingDisplayReason(const QByteArray& platform, const QByteArray& display,
                             const QByteArray& wayland_display,
                             const std::function<bool(const QByteArray&)>& x11_answers) {
  const QString needs = QString::fromUtf8(kWhatTheWindowNeeds);
  // Qt's own choice here is X11; in a Wayland session the program asks for X11, then Wayland.
  const bool x11_only = platform.isEmpty() || platform == "xcb";
  const bool x11_then_wayland = platform == "xcb;wayland";
  if (!x11_only && !x11_then_wayland) return {};
  if (display.isEmpty()) {
    if (x11_then_wayland && !wayland_display.isEmpty()) return {};
    return QStringLiteral("нет графического сеанса: переменная DISPLAY не задана.") + needs;
  }
  if (x11_only && !x11_answers(display)) {
    return QStringLiteral("не удаётся подключиться к дисплею X11 «%1».")
               .arg(QString::fromLocal8Bit(display)) +
           needs;
  }
  return {};
}

}  // namespace slimtag
