// KDE Plasma and XFCE wallpapers over D-Bus.
#include "platform/BusWallpaper.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
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

}  // namespace qvr
