// The wallpaper service of the running desktop, chosen by XDG_CURRENT_DESKTOP (a list such as
// "ubuntu:GNOME"; the first name the program knows wins):
//   GNOME, Unity, Budgie, Pantheon  GSettings org.gnome.desktop.background (light and dark)
//   X-Cinnamon / Cinnamon           GSettings org.cinnamon.desktop.background
//   MATE                            GSettings org.mate.background
//   KDE                             the Plasma shell's scripting interface on the session bus
//   XFCE                            the xfconf service on the session bus, channel xfce4-desktop
// Anything else, or a desktop whose settings schema is not installed, gets a service that
// changes nothing and says why.
#pragma once

#include <memory>
#include <string_view>

#include "app/WallpaperService.h"

namespace qvr {

std::unique_ptr<WallpaperService> MakeDesktopWallpaper(std::string_view current_desktop);

// Paths in the program's records are Shift-JIS bytes; the desktops want file names (UTF-8 on
// Linux) or file URIs.
std::string WallpaperFileName(const std::string& sjis_path);
std::string WallpaperRecordPath(const std::string& file_name);

}  // namespace qvr
