// Entry for the widget tests: an offscreen Qt application, and the services
// of a test, so that no test can reach the machine's devices.
#include <gtest/gtest.h>

#include <QApplication>

#include "process_state.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::InstallServices(testing_support::TestServices());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
