// The desktop wallpaper as a port: read the current picture file and set a new one. The
// desktop implementations (GNOME, KDE, ...) live in platform/.
#pragma once

#include <string>

namespace qvr {

class WallpaperService {
 public:
  virtual ~WallpaperService() = default;
  // The current wallpaper file as the desktop reports it (Shift-JIS bytes, as record paths are),
  // or empty when there is none or it cannot be read.
  virtual std::string ReadWallpaper() = 0;
  // Makes `file` (Shift-JIS bytes) the wallpaper; raises Error with a message for the user
  // when the desktop refuses.
  virtual void SetWallpaper(const std::string& file) = 0;
};

}  // namespace qvr
