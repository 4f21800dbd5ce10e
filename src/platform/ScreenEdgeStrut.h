// Reserves a strip along the top or bottom edge of the screen for a window, so that maximised
// windows and panels keep clear of it: on X11 the window is a dock with _NET_WM_STRUT_PARTIAL
// (and the older _NET_WM_STRUT). Elsewhere (offscreen, Wayland without XWayland) nothing happens.
#pragma once

class QWidget;

namespace qvr {

// Marks `window` as a dock; call before it is first shown.
void MakeDockWindow(QWidget& window);
// Reserves the window's current geometry as a strip at the top (`at_top`) or bottom edge of the
// X screen. The window must exist natively (it is created when needed).
void ReserveScreenEdge(QWidget& window, bool at_top);

}  // namespace qvr
