// Picks the wallpaper service of the running desktop.
#include "platform/DesktopWallpaper.h"

#include <string>

#include "platform/BusWallpaper.h"
#include "platform/GSettingsWallpaper.h"
#include "platform/NoWallpaper.h"
#include "util/ShiftJis.h"

namespace qvr {

std::string WallpaperFileName(const std::string& sjis_path) { return SjisToUtf8(sjis_path); }

std::string WallpaperRecordPath(const std::string& file_name) {
  // A file name without a Shift-JIS form cannot be kept in the settings file; it counts as no
  // readable wallpaper.
  const SjisEncoding encoded = Utf8ToSjis(file_name);
  return encoded.ok() ? encoded.bytes : std::string();
}

std::unique_ptr<WallpaperService> MakeDesktopWallpaper(std::string_view current_desktop) {
  std::size_t start = 0;
  while (start <= current_desktop.size()) {
    const std::size_t end = std::min(current_desktop.find(':', start), current_desktop.size());
    const std::string_view name = current_desktop.substr(start, end - start);
    if (name == "GNOME" || name == "Unity" || name == "Budgie" || name == "Pantheon") {
      return std::make_unique<GSettingsWallpaper>(
          GSettingsBackground{"org.gnome.desktop.background", "picture-uri", "picture-uri-dark", true});
    }
    if (name == "X-Cinnamon" || name == "Cinnamon") {
      return std::make_unique<GSettingsWallpaper>(
          GSettingsBackground{"org.cinnamon.desktop.background", "picture-uri", nullptr, true});
    }
    if (name == "MATE") {
      return std::make_unique<GSettingsWallpaper>(
          GSettingsBackground{"org.mate.background", "picture-filename", nullptr, false});
    }
    if (name == "KDE") return std::make_unique<KdeWallpaper>();
    if (name == "XFCE") return std::make_unique<XfceWallpaper>();
    start = end + 1;
  }
  const std::string shown = current_desktop.empty() ? std::string("不明") : std::string(current_desktop);
  return std::make_unique<NoWallpaper>("このデスクトップ (" + shown +
                                       ") の壁紙は変更できません。GNOME、KDE Plasma、Xfce、Cinnamon、MATE "
                                       "で使えます");
}

}  // namespace qvr
