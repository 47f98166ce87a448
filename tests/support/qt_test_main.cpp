// Test entry of the tests that use Qt (processes, files, its event loop):
// the application Qt wants, and a port table that holds only what each test
// maps, so no test can reach the machine's devices.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "port_table.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  platform::ports::UseMachinePorts(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
