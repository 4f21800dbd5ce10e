// qvr_e2e_picture FILE WIDTH HEIGHT: writes a picture (a colour gradient with a frame) in the
// format the file's extension names, for the end-to-end tests' jacket files.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  QGuiApplication application(argc, argv);
  const int width = atoi(argv[2]), height = atoi(argv[3]);
  if (width <= 0 || height <= 0) return 2;
  QImage picture(width, height, QImage::Format_RGB32);
  QPainter painter(&picture);
  QLinearGradient gradient(0, 0, width, height);
  gradient.setColorAt(0, QColor(30, 60, 160));
  gradient.setColorAt(1, QColor(220, 120, 40));
  painter.fillRect(picture.rect(), gradient);
  painter.setPen(QPen(Qt::white, 6));
  painter.drawRect(picture.rect().adjusted(3, 3, -3, -3));
  painter.end();
  return picture.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
