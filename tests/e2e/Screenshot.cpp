// qvr_e2e_shot FILE.png: saves the whole X screen (DISPLAY) as a PNG, so that the end-to-end
// test leaves a picture of the running player behind.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  QGuiApplication application(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1;
  return screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
