#pragma once

class QWidget;

namespace slimtag {

// Leaves the widget out of what assistive technology is shown: a line or a picture that only
// decorates would be read out as an unnamed control.
void MarkAsDecoration(QWidget* widget, bool decoration = true);

// Tells assistive technology what the window's own controls are: a ClickLabel is a link that a
// screen reader can press, the windows are windows and the panels panes, and they hold no
// decoration. Needed once, before the first control is made; later calls do nothing.
void InstallAccessibleInterfaces();

}  // namespace slimtag
