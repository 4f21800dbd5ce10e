// The wallpaper through GSettings (GIO), for GNOME and the desktops that share its settings.
#pragma once

#include <string>

#include "app/WallpaperService.h"

namespace qvr {

// Where a desktop keeps its background picture.
struct GSettingsBackground {
  const char* schema;    // e.g. "org.gnome.desktop.background"
  const char* key;       // the picture: "picture-uri" (a file URI) or "picture-filename" (a path)
  const char* dark_key;  // the dark-style picture where the schema has one; may be null
  bool uri;              // whether the keys hold URIs rather than paths
};

class GSettingsWallpaper final : public WallpaperService {
 public:
  explicit GSettingsWallpaper(GSettingsBackground background);
  ~GSettingsWallpaper() override;
  GSettingsWallpaper(const GSettingsWallpaper&) = delete;
  GSettingsWallpaper& operator=(const GSettingsWallpaper&) = delete;

  std::string UnavailableReason() const override { return reason_; }
  std::string ReadWallpaper() override;
  void SetWallpaper(const std::string& file) override;
  // The picture key and the dark-style one, each as the schema holds it.
  Setting ReadWallpaperSetting() override;
  bool RestoreWallpaperSetting(const Setting& setting) override;

 private:
  GSettingsBackground background_;
  void* settings_ = nullptr;  // GSettings*, null when the schema is not installed
  bool has_dark_ = false;
  std::string reason_;
};

}  // namespace qvr
