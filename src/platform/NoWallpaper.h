// The desktop wallpaper where the program cannot change it: it reports no current picture and
// setting one does nothing. It reports no failure either: a desktop without wallpaper service
// is no error of the disc that asks for one, and the disc's arrival goes on.
#pragma once

#include "app/WallpaperService.h"

namespace qvr {

class NoWallpaper final : public WallpaperService {
 public:
  std::string ReadWallpaper() override { return {}; }
  void SetWallpaper(const std::string&) override {}
};

}  // namespace qvr
