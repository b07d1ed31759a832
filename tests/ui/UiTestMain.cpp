#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>

// Widgets need one application object for the whole run. They are drawn offscreen unless the
// environment asks for a platform, so no display is needed and none the developer has is touched.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
