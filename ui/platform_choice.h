#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace slimtag {

// The Qt platform the program asks for, given the session's QT_QPA_PLATFORM, WAYLAND_DISPLAY and
// XDG_SESSION_TYPE: empty to leave Qt's own choice. A Wayland session gets X11 (through
// XWayland) first, since Wayland lets no program place its windows and the banner has to ride
// above the main window; Wayland itself stays as the fallback. A platform the user set is kept.
QByteArray ChosenPlatform(const QByteArray& qpa_platform, const QByteArray& wayland_display,
                          const QByteArray& session_type);

// Why the window cannot open on the platform (QT_QPA_PLATFORM as the program leaves it) with the
// session's DISPLAY and WAYLAND_DISPLAY, in Russian; empty when it can try. Qt itself would abort
// with an English message of its own. Only the X11 platforms are judged, which the program uses
// unless the user chose another: no display named, or (x11_answers asked) none answering.
QString MissingDisplayReason(const QByteArray& platform, const QByteArray& display,
                             const QByteArray& wayland_display,
                             const std::function<bool(const QByteArray&)>& x11_answers);

}  // namespace slimtag
