// The desktop wallpaper as a port: read the current picture file and set a new one. The
// desktop implementations (GNOME and its relatives through GSettings, KDE Plasma, XFCE) live in
// platform/; the tests use a picture in memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qvr {

class WallpaperService {
 public:
  virtual ~WallpaperService() = default;
  // Empty when the service can change the wallpaper of the running desktop; otherwise, in the
  // user's language, why not (the options dialog shows it beside the automatic wallpaper box).
  virtual std::string UnavailableReason() const = 0;
  // The current wallpaper file as the desktop reports it (Shift-JIS bytes, as record paths are),
  // or empty when there is none or it cannot be read. Raises nothing.
  virtual std::string ReadWallpaper() = 0;
  // Makes `file` (Shift-JIS bytes; empty: no picture) the wallpaper of every screen and
  // workspace, and keeps it. A desktop that refuses is left as it was; raises nothing.
  virtual void SetWallpaper(const std::string& file) = 0;

  // The desktop's whole picture setting: each place that holds a picture (the light and the
  // dark picture, every screen's and workspace's) with its value exactly as the desktop keeps it
  // (a URI or a path in the desktop's encoding). Empty when the desktop has nothing beyond
  // ReadWallpaper's one picture. Raises nothing.
  using Setting = std::vector<std::pair<std::string, std::string>>;
  virtual Setting ReadWallpaperSetting() { return {}; }
  // Puts back a setting ReadWallpaperSetting gave (also in an earlier run), place by place;
  // places the desktop no longer has are left out. Returns false when none was one of this
  // desktop's (the caller then sets the one picture it remembers). Raises nothing.
  virtual bool RestoreWallpaperSetting(const Setting& setting) {
    (void)setting;
    return false;
  }
};

}  // namespace qvr
