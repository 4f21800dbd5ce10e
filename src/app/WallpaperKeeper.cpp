// The user's wallpaper kept aside while disc jackets are shown on the desktop.
#include "app/WallpaperKeeper.h"

#include <utility>

namespace qvr {
namespace {

constexpr std::string_view kSection = "Other";
constexpr std::string_view kUserKey = "UserWallpaper";
constexpr std::string_view kShownKey = "JacketWallpaper";

}  // namespace

void WallpaperKeeper::Load() {
  user_ = settings_.ReadString(kSection, kUserKey, "");
  shown_ = settings_.ReadString(kSection, kShownKey, "");
}

void WallpaperKeeper::ShowJacket(const std::string& jacket, bool only_if_different) {
  const std::string current = service_.ReadWallpaper();
  // Unless the desktop still shows the program's own picture, what it shows is the user's.
  std::string user = (!shown_.empty() && current == shown_) ? user_ : current;
  const std::string target = jacket.empty() ? user : jacket;
  if (!(only_if_different && current == target)) service_.SetWallpaper(target);
  Remember(std::move(user), jacket.empty() ? std::string() : jacket);
}

void WallpaperKeeper::RestoreUserWallpaper() {
  if (shown_.empty()) return;
  if (service_.ReadWallpaper() == shown_) service_.SetWallpaper(user_);
  Remember(user_, "");
}

// Written at once rather than at shut-down: the user's picture must survive a program that is
// killed while a jacket is on the desktop. A settings file that cannot be written keeps the
// values for this session.
void WallpaperKeeper::Remember(std::string user, std::string shown) {
  if (user == user_ && shown == shown_) return;
  user_ = std::move(user);
  shown_ = std::move(shown);
  try {
    settings_.WriteString(kSection, kUserKey, user_);
    settings_.WriteString(kSection, kShownKey, shown_);
  } catch (...) {
  }
}

}  // namespace qvr
