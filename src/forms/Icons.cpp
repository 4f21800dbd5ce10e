// Renders the SVG resources into pixmaps of the sizes they were drawn for.
#include "forms/Icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace qvr {
namespace {

QPixmap Render(const QString& resource, QSize size) {
  const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(size * ratio);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  painter.end();
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

}  // namespace

QIcon ButtonIcon(const QString& name) {
  QIcon icon;
  icon.addPixmap(Render(":/icons/" + name + ".svg", {16, 16}), QIcon::Normal);
  const QString disabled = ":/icons/" + name + "-disabled.svg";
  if (QFile::exists(disabled)) icon.addPixmap(Render(disabled, {16, 16}), QIcon::Disabled);
  return icon;
}

QIcon TrayIcon(std::string_view name) {
  static QHash<QString, QIcon> cache;
  const QString key = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())).toLower();
  if (auto found = cache.find(key); found != cache.end()) return *found;
  QIcon icon;
  for (int size : {16, 22}) {
    const QString file = QStringLiteral(":/tray/%1-%2.svg").arg(key).arg(size);
    if (QFile::exists(file)) icon.addPixmap(Render(file, {size, size}));
  }
  if (!icon.isNull()) cache.insert(key, icon);
  return icon;
}

QPixmap ProductPicture() { return Render(":/splash.svg", {96, 128}); }

}  // namespace qvr
