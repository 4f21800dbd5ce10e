// The help window over QTextBrowser.
#include "platform/HelpViewer.h"

#include <QFile>
#include <QVBoxLayout>

namespace qvr {
namespace {

constexpr const char* kTitle = "Q.V.R. ヘルプ";

}  // namespace

HelpViewer::HelpViewer() : QWidget(nullptr, Qt::Window) {
  setObjectName("HelpViewer");
  setWindowTitle(QString::fromUtf8(kTitle));
  Browser = new QTextBrowser(this);
  Browser->setAccessibleName(QString::fromUtf8("ヘルプの本文"));
  // The window is titled by the page it shows ("環境設定：その他 - Q.V.R. ヘルプ").
  connect(Browser, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = Browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QString::fromUtf8(kTitle) : title);
  });
  Browser->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Browser);
  resize(560, 520);
}

QString HelpViewer::TopicUrl(int context) { return QStringLiteral("qrc:/[Q.V.R.]/Q_v_r/%1.html").arg(context); }

bool HelpViewer::HasTopic(int context) {
  return QFile::exists(QStringLiteral(":/[Q.V.R.]/Q_v_r/%1.html").arg(context));
}

void HelpViewer::Open(int context) {
  Browser->setSource(QUrl(TopicUrl(HasTopic(context) ? context : 1)));
  show();
  raise();
  activateWindow();
}

}  // namespace qvr
