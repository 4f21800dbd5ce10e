// Loads Qt's Japanese translations into the application.
#include "platform/QtJapanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qvr {

QString UseJapaneseForQt() {
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  QLocale::setDefault(japanese);
  // The translator lives as long as the application (it is its child).
  auto* translator = new QTranslator(QCoreApplication::instance());
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
    delete translator;
    return QStringLiteral("Qt の日本語訳 (qtbase_ja.qm) が %1 にありません").arg(folder);
  }
  QCoreApplication::installTranslator(translator);
  return {};
}

}  // namespace qvr
