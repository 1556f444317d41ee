// Test entry for windows: headless, so tests need no display. The platform
// must be chosen before the application exists, also when gtest_discover_tests
// runs the binary at build time to list its tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
