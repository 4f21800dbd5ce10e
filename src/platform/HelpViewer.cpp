// The help window over QTextBrowser.
#include "platform/HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QVBoxLayout>
#include <QWindow>

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
  // Asked from a modal dialog (F1), the help is that dialog's transient: the window manager puts
  // it above the dialog, and the dialog's modality does not block it. The tie is the native
  // windows' alone (a weak one): the help window outlives the dialog.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == this) modal = nullptr;
  const bool on_top = modal != nullptr && modal->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on_top) setWindowFlag(Qt::WindowStaysOnTopHint, on_top);
  create();
  if (modal != nullptr) modal->createWinId();
  windowHandle()->setTransientParent(modal != nullptr ? modal->windowHandle() : nullptr);
  show();
  raise();
  activateWindow();
}

}  // namespace qvr
