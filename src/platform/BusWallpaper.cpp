// KDE Plasma and XFCE wallpapers over D-Bus.
#include "platform/BusWallpaper.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <cstdio>
#include <memory>

#include "platform/DesktopWallpaper.h"

namespace qvr {
namespace {

constexpr int kCallMilliseconds = 2000;
constexpr const char* kNoBus = "セッションバスに接続できないため、壁紙を変更できません";

// A text as a JavaScript string literal.
std::string ScriptString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
          quoted += escaped;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

QString FileUri(const std::string& sjis_path) {
  const std::string file = WallpaperFileName(sjis_path);
  return file.empty() ? QString() : QUrl::fromLocalFile(QString::fromStdString(file)).toString(QUrl::FullyEncoded);
}

std::string PathOfUri(const QString& value) {
  const QUrl url(value.trimmed());
  const QString file = url.isLocalFile() ? url.toLocalFile() : (value.startsWith('/') ? value.trimmed() : QString());
  return WallpaperRecordPath(file.toStdString());
}

std::unique_ptr<QDBusInterface> PlasmaShell() {
  auto shell = std::make_unique<QDBusInterface>("org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell",
                                                QDBusConnection::sessionBus());
  shell->setTimeout(kCallMilliseconds);
  return shell;
}

constexpr const char* kXfconfChannel = "xfce4-desktop";

std::unique_ptr<QDBusInterface> Xfconf() {
  auto xfconf = std::make_unique<QDBusInterface>("org.xfce.Xfconf", "/org/xfce/Xfconf", "org.xfce.Xfconf",
                                                 QDBusConnection::sessionBus());
  xfconf->setTimeout(kCallMilliseconds);
  return xfconf;
}

// The backdrop picture properties xfconf has now, in name order.
QStringList BackdropImageProperties(QDBusInterface& xfconf) {
  const QDBusReply<QVariantMap> reply = xfconf.call("GetAllProperties", QString(kXfconfChannel), QString("/backdrop"));
  QStringList names;
  if (!reply.isValid()) return names;
  for (auto it = reply.value().constBegin(); it != reply.value().constEnd(); ++it) {
    if (it.key().endsWith("/last-image") || it.key().endsWith("/image-path")) names << it.key();
  }
  names.sort();
  return names;
}

}  // namespace

std::string KdeWallpaper::UnavailableReason() const {
  return QDBusConnection::sessionBus().isConnected() ? std::string() : kNoBus;
}

std::string KdeWallpaper::SetScript(const std::string& uri) {
  return "var picture = " + ScriptString(uri) +
         ";\n"
         "var all = desktops();\n"
         "for (var i = 0; i < all.length; i++) {\n"
         "  var desktop = all[i];\n"
         "  desktop.wallpaperPlugin = \"org.kde.image\";\n"
         "  desktop.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");\n"
         "  desktop.writeConfig(\"Image\", picture);\n"
         "}\n";
}

std::string KdeWallpaper::ReadWallpaper() {
  const auto shell = PlasmaShell();
  const QDBusReply<QString> reply = shell->call(
      "evaluateScript", QString("var all = desktops();\n"
                                "if (all.length > 0) {\n"
                                "  all[0].currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");\n"
                                "  print(all[0].readConfig(\"Image\"));\n"
                                "}\n"));
  return reply.isValid() ? PathOfUri(reply.value()) : std::string();
}

void KdeWallpaper::SetWallpaper(const std::string& file) {
  PlasmaShell()->call("evaluateScript", QString::fromStdString(SetScript(FileUri(file).toStdString())));
}

WallpaperService::Setting KdeWallpaper::ReadWallpaperSetting() {
  const auto shell = PlasmaShell();
  const QDBusReply<QString> reply = shell->call(
      "evaluateScript", QString("var all = desktops();\n"
                                "for (var i = 0; i < all.length; i++) {\n"
                                "  all[i].currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", "
                                "\"General\");\n"
                                "  print(\"desktop\" + i + \"=\" + all[i].readConfig(\"Image\") + \"\\n\");\n"
                                "}\n"));
  Setting setting;
  if (!reply.isValid()) return setting;
  // "desktopN=URI", one line per desktop (a URI holds no line break).
  for (const QString& line : reply.value().split('\n', Qt::SkipEmptyParts)) {
    const qsizetype equals = line.indexOf('=');
    if (!line.startsWith("desktop") || equals < 0) continue;
    setting.emplace_back(line.left(equals).toStdString(), line.mid(equals + 1).trimmed().toStdString());
  }
  return setting;
}

bool KdeWallpaper::RestoreWallpaperSetting(const Setting& setting) {
  std::string pictures = "var pictures = {";
  bool any = false;
  for (const auto& [place, value] : setting) {
    if (!place.starts_with("desktop") || place.size() == 7) continue;
    const std::string index = place.substr(7);
    if (index.find_first_not_of("0123456789") != std::string::npos || index.size() > 4) continue;
    pictures += (any ? ", " : "") + index + ": " + ScriptString(value);
    any = true;
  }
  if (!any) return false;
  const std::string script = pictures +
                             "};\n"
                             "var all = desktops();\n"
                             "for (var i = 0; i < all.length; i++) {\n"
                             "  if (!(i in pictures)) continue;\n"
                             "  var desktop = all[i];\n"
                             "  desktop.wallpaperPlugin = \"org.kde.image\";\n"
                             "  desktop.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");\n"
                             "  desktop.writeConfig(\"Image\", pictures[i]);\n"
                             "}\n";
  return PlasmaShell()->call("evaluateScript", QString::fromStdString(script)).type() != QDBusMessage::ErrorMessage;
}

std::string XfceWallpaper::UnavailableReason() const {
  return QDBusConnection::sessionBus().isConnected() ? std::string() : kNoBus;
}

std::string XfceWallpaper::ReadWallpaper() {
  const auto xfconf = Xfconf();
  const QStringList names = BackdropImageProperties(*xfconf);
  if (names.isEmpty()) return {};
  const QDBusReply<QDBusVariant> reply = xfconf->call("GetProperty", QString(kXfconfChannel), names.front());
  return reply.isValid() ? PathOfUri(reply.value().variant().toString()) : std::string();
}

void XfceWallpaper::SetWallpaper(const std::string& file) {
  const auto xfconf = Xfconf();
  QStringList names = BackdropImageProperties(*xfconf);
  if (names.isEmpty()) {
    // A desktop that never had a backdrop set: name the first workspace of each monitor.
    for (const QScreen* screen : QGuiApplication::screens()) {
      names << "/backdrop/screen0/monitor" + screen->name() + "/workspace0/last-image";
    }
  }
  const QString path = QString::fromStdString(WallpaperFileName(file));
  for (const QString& name : names) {
    xfconf->call("SetProperty", QString(kXfconfChannel), name, QVariant::fromValue(QDBusVariant(path)));
  }
}

WallpaperService::Setting XfceWallpaper::ReadWallpaperSetting() {
  const auto xfconf = Xfconf();
  Setting setting;
  for (const QString& name : BackdropImageProperties(*xfconf)) {
    const QDBusReply<QDBusVariant> reply = xfconf->call("GetProperty", QString(kXfconfChannel), name);
    if (reply.isValid()) setting.emplace_back(name.toStdString(), reply.value().variant().toString().toStdString());
  }
  return setting;
}

bool XfceWallpaper::RestoreWallpaperSetting(const Setting& setting) {
  const auto xfconf = Xfconf();
  bool restored = false;
  for (const auto& [place, value] : setting) {
    const QString name = QString::fromStdString(place);
    if (!name.startsWith("/backdrop/") || !(name.endsWith("/last-image") || name.endsWith("/image-path"))) continue;
    const QDBusMessage answer = xfconf->call("SetProperty", QString(kXfconfChannel), name,
                                             QVariant::fromValue(QDBusVariant(QString::fromStdString(value))));
    restored = answer.type() != QDBusMessage::ErrorMessage || restored;
  }
  return restored;
}

}  // namespace qvr
