// The entry of the widget tests: a QApplication on the offscreen platform, with Qt's Japanese
// translations as the program loads them, around GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "platform/QtJapanese.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  // The windows are tested as the program shows them: with Qt's own texts in Japanese.
  if (const QString problem = qvr::UseJapaneseForQt(); !problem.isEmpty()) {
    std::fprintf(stderr, "%s\n", problem.toUtf8().constData());
    return 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
