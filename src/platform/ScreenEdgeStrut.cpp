// The strut through xcb on Qt's own X connection. Strut numbers are in the X screen's pixels,
// measured from the edges of the whole X screen (all monitors), as the window manager expects.
#include "platform/ScreenEdgeStrut.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qvr {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (!reply) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

xcb_connection_t* X11Connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

}  // namespace

void ReserveScreenEdge(QWidget& window, bool at_top) {
  xcb_connection_t* connection = X11Connection();
  QScreen* screen = window.screen();
  if (!connection || !screen) return;
  const double ratio = window.devicePixelRatioF();
  const QRect desktop = screen->virtualGeometry();
  const QRect frame = window.geometry();
  auto pixels = [ratio](int value) { return static_cast<std::uint32_t>(std::lround(value * ratio)); };
  // left, right, top, bottom, then the start and end of each strip along its edge.
  std::array<std::uint32_t, 12> strut{};
  const std::uint32_t first_x = pixels(frame.left() - desktop.left());
  const std::uint32_t last_x = first_x + pixels(frame.width()) - 1;
  if (at_top) {
    strut[2] = pixels(frame.bottom() + 1 - desktop.top());
    strut[8] = first_x;
    strut[9] = last_x;
  } else {
    strut[3] = pixels(desktop.bottom() + 1 - frame.top());
    strut[10] = first_x;
    strut[11] = last_x;
  }
  const auto id = static_cast<xcb_window_t>(window.winId());
  // Only the dock type: Qt's own types for a frameless tool window would make it a utility.
  const xcb_atom_t dock = Atom(connection, "_NET_WM_WINDOW_TYPE_DOCK");
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32,
                      1, &dock);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, "_NET_WM_STRUT_PARTIAL"),
                      XCB_ATOM_CARDINAL, 32, 12, strut.data());
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, "_NET_WM_STRUT"), XCB_ATOM_CARDINAL, 32,
                      4, strut.data());
  xcb_flush(connection);
}

}  // namespace qvr
