// A stand-in for the KDE Plasma shell on a private session bus: it owns
// org.kde.plasmashell, appends every script it is asked to evaluate to the file named by its
// first argument (each followed by a line "----"), and answers a script that reads the
// wallpaper with the URI given as its second argument.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>

class PlasmaShell : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")

 public:
  PlasmaShell(QString record, QString answer) : record_(std::move(record)), answer_(std::move(answer)) {}

 public Q_SLOTS:
  QString evaluateScript(const QString& script) {
    QFile file(record_);
    if (file.open(QIODevice::Append)) file.write((script + "\n----\n").toUtf8());
    return script.contains("readConfig") ? answer_ + "\n" : QString();
  }

 private:
  QString record_;
  QString answer_;
};

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc < 3) return 2;
  PlasmaShell shell(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject("/PlasmaShell", &shell, QDBusConnection::ExportAllSlots)) return 1;
  if (!bus.registerService("org.kde.plasmashell")) return 1;
  return QCoreApplication::exec();
}

#include "KdeShellRecorder.moc"
