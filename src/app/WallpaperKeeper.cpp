// The user's wallpaper kept aside while disc jackets are shown on the desktop.
#include "app/WallpaperKeeper.h"

#include <utility>

namespace qvr {
namespace {

constexpr std::string_view kSection = "Other";
constexpr std::string_view kUserKey = "UserWallpaper";
constexpr std::string_view kShownKey = "JacketWallpaper";
constexpr std::string_view kPlacesKey = "UserWallpaperPlaces";
constexpr std::string_view kPlaceKey = "UserWallpaperPlace";
// More places than any desktop has (screens times workspaces): a larger count is not read.
constexpr int kMaxPlaces = 256;

}  // namespace

void WallpaperKeeper::Load() {
  user_ = settings_.ReadString(kSection, kUserKey, "");
  shown_ = settings_.ReadString(kSection, kShownKey, "");
  user_setting_.clear();
  const int places = settings_.ReadInteger(kSection, kPlacesKey, 0);
  for (int n = 1; n <= places && n <= kMaxPlaces; ++n) {
    const std::string entry = settings_.ReadString(kSection, std::string(kPlaceKey) + std::to_string(n), "");
    const std::size_t bar = entry.find('|');
    if (bar != std::string::npos && bar > 0) user_setting_.emplace_back(entry.substr(0, bar), entry.substr(bar + 1));
  }
}

void WallpaperKeeper::ShowJacket(const std::string& jacket, bool only_if_different) {
  const std::string current = service_.ReadWallpaper();
  // Unless the desktop still shows the program's own picture, what it shows is the user's.
  const bool program_picture = !shown_.empty() && current == shown_;
  std::string user = program_picture ? user_ : current;
  WallpaperService::Setting user_setting = program_picture ? user_setting_ : service_.ReadWallpaperSetting();
  if (jacket.empty()) {
    if (!(only_if_different && current == user)) {
      if (user_setting.empty() || !service_.RestoreWallpaperSetting(user_setting)) service_.SetWallpaper(user);
    }
  } else if (!(only_if_different && current == jacket)) {
    service_.SetWallpaper(jacket);
  }
  Remember(std::move(user), std::move(user_setting), jacket);
}

void WallpaperKeeper::RestoreUserWallpaper() {
  if (shown_.empty()) return;
  if (service_.ReadWallpaper() == shown_) PutBackUserWallpaper();
  Remember(user_, user_setting_, "");
}

void WallpaperKeeper::PutBackUserWallpaper() {
  if (user_setting_.empty() || !service_.RestoreWallpaperSetting(user_setting_)) service_.SetWallpaper(user_);
}

// Written at once rather than at shut-down: the user's picture must survive a program that is
// killed while a jacket is on the desktop. A settings file that cannot be written keeps the
// values for this session.
void WallpaperKeeper::Remember(std::string user, WallpaperService::Setting user_setting, std::string shown) {
  if (user == user_ && user_setting == user_setting_ && shown == shown_) return;
  const std::size_t old_places = user_setting_.size();
  const bool places_changed = user_setting != user_setting_;
  user_ = std::move(user);
  user_setting_ = std::move(user_setting);
  shown_ = std::move(shown);
  try {
    settings_.WriteString(kSection, kUserKey, user_);
    settings_.WriteString(kSection, kShownKey, shown_);
    if (!places_changed) return;
    // A value with a line break could not be read back: such a place is not kept.
    std::size_t n = 0;
    for (const auto& [place, value] : user_setting_) {
      std::string entry = place;
      entry.append("|").append(value);
      if (entry.find_first_of("\r\n") != std::string::npos || entry.size() > 1000) continue;
      settings_.WriteString(kSection, std::string(kPlaceKey) + std::to_string(++n), entry);
    }
    for (std::size_t old = n + 1; old <= old_places; ++old) {
      settings_.WriteString(kSection, std::string(kPlaceKey) + std::to_string(old), "");
    }
    settings_.WriteInteger(kSection, kPlacesKey, static_cast<int>(n));
  } catch (...) {
  }
}

}  // namespace qvr
