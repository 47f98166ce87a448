// Test entry: a port table that holds only what each test maps, so no test
// can reach the machine's devices.
#include <gtest/gtest.h>

#include "port_table.h"

int main(int argc, char** argv) {
  platform::ports::UseMachinePorts(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
