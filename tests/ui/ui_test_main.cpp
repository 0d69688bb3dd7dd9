#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "qt_translation.h"

// gtest_discover_tests lists the tests without the test environment (no offscreen platform), so
// the application is only made when tests run.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Qt's own widgets speak Russian, as in the program.
  if (const QString failed = slimtag::InstallQtRussian(app); !failed.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(failed));
  }
  return RUN_ALL_TESTS();
}
