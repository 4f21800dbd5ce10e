// The help window over QTextBrowser.
#include "platform/HelpViewer.h"

#include <QFile>
#include <QVBoxLayout>

namespace qvr {

HelpViewer::HelpViewer() : QWidget(nullptr, Qt::Window) {
  setObjectName("HelpViewer");
  setWindowTitle(QString::fromUtf8("Q_v_r ヘルプ"));
  Browser = new QTextBrowser(this);
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
