#pragma once

#include <QByteArray>

namespace slimtag {

// Whether an X server answers on the display (a DISPLAY value such as ":0"). Without the xcb
// headers at build time it cannot tell and answers true, leaving the question to Qt.
bool X11DisplayAnswers(const QByteArray& display);

}  // namespace slimtag
