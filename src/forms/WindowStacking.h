// Where a box or dialog of the program goes in the desktop's stacking order. A window opened
// while one of the program's modal windows is up becomes that window's transient (the window
// manager keeps it above its parent and gives it the focus); one opened while a window of the
// program stays on top (the lyrics line, the pads, the options dialog) stays on top too, so that
// none of the program's own windows ever hides it, whatever their settings.
#pragma once

class QWidget;

namespace qvr {

// Call before showing `window` (a top-level box or dialog): it takes its place above the active
// modal window and above the program's windows that stay on top, and once shown it is raised
// and activated.
void StackAboveModal(QWidget& window);

}  // namespace qvr
