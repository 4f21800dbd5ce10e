// The desktop wallpaper where the program cannot change it (a desktop it does not know, or one
// whose settings are not installed): it reports no current picture, sets nothing, and says why.
#pragma once

#include <string>
#include <utility>

#include "app/WallpaperService.h"

namespace qvr {

class NoWallpaper final : public WallpaperService {
 public:
  explicit NoWallpaper(std::string reason = "このデスクトップでは壁紙を変更できません") : reason_(std::move(reason)) {}
  std::string UnavailableReason() const override { return reason_; }
  std::string ReadWallpaper() override { return {}; }
  void SetWallpaper(const std::string&) override {}

 private:
  std::string reason_;
};

}  // namespace qvr
