// The desktop wallpaper where the program cannot change it: it reports no current picture and
// refuses politely to set one.
#pragma once

#include "app/WallpaperService.h"
#include "util/Error.h"

namespace qvr {

class NoWallpaper final : public WallpaperService {
 public:
  std::string ReadWallpaper() override { return {}; }
  void SetWallpaper(const std::string&) override {
    throw Error("このデスクトップでは壁紙を変更できません。環境設定で「壁紙に自動設定」をオフにしてください");
  }
};

}  // namespace qvr
