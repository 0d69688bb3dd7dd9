#pragma once

class QWidget;

namespace slimtag {

// Asks the window manager to leave the window out of the task bar (_NET_WM_STATE_SKIP_TASKBAR on
// X11). Call it while the window is about to be shown: the state is dropped each time the window
// is hidden. Elsewhere the window's Qt::Tool type has to do.
void KeepOffTaskbar(QWidget* window);

}  // namespace slimtag
