// Test entry of the tests that use Qt (processes, files, its event loop):
// the application Qt wants, and the services of a test, so that no test can
// reach the machine's devices.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "process_state.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  platform::InstallServices(testing_support::TestServices());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
