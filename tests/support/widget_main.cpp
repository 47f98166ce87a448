// Entry for the widget tests: an offscreen Qt application, and a port table
// that holds only what each test maps.
#include <gtest/gtest.h>

#include <QApplication>

#include "port_table.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::ports::UseMachinePorts(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
