#include "platform_choice.h"

namespace slimtag {

QByteArray ChosenPlatform(const QByteArray& qpa_platform, const QByteArray& wayland_display,
                          const QByteArray& session_type) {
  if (!qpa_platform.isEmpty()) return {};
  if (wayland_display.isEmpty() && session_type != "wayland") return {};
  return QByteArrayLiteral("xcb;wayland");
}

}  // namespace slimtag
