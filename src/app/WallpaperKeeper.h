// Shows disc jackets as the desktop wallpaper without losing the user's own picture. The
// wallpaper in force before the program first changed it is remembered in the settings file
// (section "Other": "UserWallpaper", and "JacketWallpaper" for the picture the program set
// last), so it comes back when a disc has no jacket or the automatic wallpaper is switched off,
// also after a restart. Where the desktop keeps more than one picture (a light and a dark one,
// one per screen and workspace), each is remembered too ("UserWallpaperPlaces" = their number,
// "UserWallpaperPlace1" ... = "place|value", the desktop's own values kept byte for byte) and
// all of them come back; a settings file without them restores the one picture as before. A
// picture the user chose while the program's was in force becomes the new one to keep.
#pragma once

#include <string>

#include "app/WallpaperService.h"
#include "ini/IniGT.h"

namespace qvr {

class WallpaperKeeper {
 public:
  WallpaperKeeper(WallpaperService& service, TIniGT& settings) : service_(service), settings_(settings) {}

  // Reads what was remembered (at start-up, with the other settings).
  void Load();
  // Shows a disc's jacket (Shift-JIS path; empty: the user's own wallpaper). With
  // `only_if_different`, nothing is written when the desktop shows that picture already.
  void ShowJacket(const std::string& jacket, bool only_if_different);
  // Puts the user's wallpaper back when the program's picture is still in force.
  void RestoreUserWallpaper();

  const std::string& UserWallpaper() const { return user_; }
  const WallpaperService::Setting& UserWallpaperSetting() const { return user_setting_; }

 private:
  void Remember(std::string user, WallpaperService::Setting user_setting, std::string shown);
  void PutBackUserWallpaper();

  WallpaperService& service_;
  TIniGT& settings_;
  std::string user_;                        // the user's own wallpaper
  WallpaperService::Setting user_setting_;  // all of the user's pictures, where the desktop has several
  std::string shown_;                       // the jacket the program set last and believes in force; empty: none
};

}  // namespace qvr
