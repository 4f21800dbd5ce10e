// The desktop wallpaper as a port: read the current picture file and set a new one. The
// desktop implementations (GNOME and its relatives through GSettings, KDE Plasma, XFCE) live in
// platform/; the tests use a picture in memory.
#pragma once

#include <string>

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
};

}  // namespace qvr
