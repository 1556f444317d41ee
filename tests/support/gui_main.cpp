// Test entry for windows: headless, so tests need no display. The platform
// must be chosen before the application exists, also when gtest_discover_tests
// runs the binary at build time to list its tests. Previews play silently and
// nothing reaches for a sound server, unless a test asks for it.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("CLIPWRIGHT_AUDIO_OUTPUT", "silent", 0);
  setenv("PULSE_SERVER", "unix:/nonexistent/clipwright/native", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
