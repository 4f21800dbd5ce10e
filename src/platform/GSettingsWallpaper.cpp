// GSettings wallpaper: the picture key (and the dark-style one) of the desktop's background
// schema, written and then synced so the backend stores it before the call returns.
#include "platform/GSettingsWallpaper.h"

#include <gio/gio.h>

#include "platform/DesktopWallpaper.h"

namespace qvr {
namespace {

GSettings* Settings(void* settings) { return static_cast<GSettings*>(settings); }

std::string TakeString(gchar* text) {
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

}  // namespace

GSettingsWallpaper::GSettingsWallpaper(GSettingsBackground background) : background_(background) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, background_.schema, TRUE) : nullptr;
  if (!schema || !g_settings_schema_has_key(schema, background_.key)) {
    reason_ = std::string("壁紙の設定 (") + background_.schema + ") がインストールされていません";
  } else {
    has_dark_ = background_.dark_key && g_settings_schema_has_key(schema, background_.dark_key);
    settings_ = g_settings_new_full(schema, nullptr, nullptr);
  }
  if (schema) g_settings_schema_unref(schema);
}

GSettingsWallpaper::~GSettingsWallpaper() {
  if (settings_) g_object_unref(Settings(settings_));
}

std::string GSettingsWallpaper::ReadWallpaper() {
  if (!settings_) return {};
  const std::string value = TakeString(g_settings_get_string(Settings(settings_), background_.key));
  if (!background_.uri || value.empty()) return WallpaperRecordPath(value);
  const std::string file = TakeString(g_filename_from_uri(value.c_str(), nullptr, nullptr));
  return WallpaperRecordPath(file);
}

void GSettingsWallpaper::SetWallpaper(const std::string& file) {
  if (!settings_) return;
  std::string value = WallpaperFileName(file);
  if (background_.uri && !value.empty()) {
    value = TakeString(g_filename_to_uri(value.c_str(), nullptr, nullptr));
    if (value.empty()) return;  // not an absolute path: leave the desktop as it was
  }
  GSettings* settings = Settings(settings_);
  g_settings_set_string(settings, background_.key, value.c_str());
  if (has_dark_) g_settings_set_string(settings, background_.dark_key, value.c_str());
  g_settings_sync();
}

WallpaperService::Setting GSettingsWallpaper::ReadWallpaperSetting() {
  Setting setting;
  if (!settings_) return setting;
  GSettings* settings = Settings(settings_);
  setting.emplace_back(background_.key, TakeString(g_settings_get_string(settings, background_.key)));
  if (has_dark_) {
    setting.emplace_back(background_.dark_key, TakeString(g_settings_get_string(settings, background_.dark_key)));
  }
  return setting;
}

bool GSettingsWallpaper::RestoreWallpaperSetting(const Setting& setting) {
  if (!settings_) return false;
  GSettings* settings = Settings(settings_);
  bool restored = false;
  for (const auto& [key, value] : setting) {
    if (key == background_.key || (has_dark_ && key == background_.dark_key)) {
      restored = g_settings_set_string(settings, key.c_str(), value.c_str()) || restored;
    }
  }
  if (restored) g_settings_sync();
  return restored;
}

}  // namespace qvr
