// The wallpaper through a desktop's own service on the session bus: KDE Plasma's shell
// scripting interface, and XFCE's settings daemon xfconf. Calls wait at most two seconds; a
// desktop that does not answer is left as it was.
#pragma once

#include <string>

#include "app/WallpaperService.h"

namespace qvr {

class KdeWallpaper final : public WallpaperService {
 public:
  std::string UnavailableReason() const override;
  std::string ReadWallpaper() override;
  void SetWallpaper(const std::string& file) override;
  // Each desktop's picture ("desktop0", "desktop1", ... in the shell's order).
  Setting ReadWallpaperSetting() override;
  bool RestoreWallpaperSetting(const Setting& setting) override;
  // The shell script that gives every desktop of every screen the picture (a file URI, or
  // empty for none).
  static std::string SetScript(const std::string& uri);
};

class XfceWallpaper final : public WallpaperService {
 public:
  std::string UnavailableReason() const override;
  std::string ReadWallpaper() override;
  void SetWallpaper(const std::string& file) override;
  // Every backdrop picture property of every monitor and workspace.
  Setting ReadWallpaperSetting() override;
  bool RestoreWallpaperSetting(const Setting& setting) override;
};

}  // namespace qvr
