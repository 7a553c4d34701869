// Main of the user-interface tests: Qt's offscreen platform, one
// QApplication for the run and a temporary registry.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/TempRegistry.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testing::InitGoogleTest(&argc, argv);
  testing_support::TempRegistry registry;
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
