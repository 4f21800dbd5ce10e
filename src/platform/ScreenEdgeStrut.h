// Reserves a strip along the top or bottom edge of the screen for a window, so that maximised
// windows and panels keep clear of it: on X11 the window is a dock with _NET_WM_STRUT_PARTIAL
// (and the older _NET_WM_STRUT). Elsewhere (offscreen, Wayland without XWayland) nothing happens.
#pragma once

class QWidget;

namespace qvr {

// Marks `window` as a dock and reserves its current geometry as a strip at the top (`at_top`)
// or bottom edge of the X screen. Call from its show event (the window manager reads the type
// when the window is mapped, which follows) and whenever it moves.
void ReserveScreenEdge(QWidget& window, bool at_top);

}  // namespace qvr
