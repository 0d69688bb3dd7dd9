#pragma once

#include <QByteArray>

namespace slimtag {

// The Qt platform the program asks for, given the session's QT_QPA_PLATFORM, WAYLAND_DISPLAY and
// XDG_SESSION_TYPE: empty to leave Qt's own choice. A Wayland session gets X11 (through
// XWayland) first, since Wayland lets no program place its windows and the banner has to ride
// above the main window; Wayland itself stays as the fallback. A platform the user set is kept.
QByteArray ChosenPlatform(const QByteArray& qpa_platform, const QByteArray& wayland_display,
                          const QByteArray& session_type);

}  // namespace slimtag
