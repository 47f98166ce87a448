// Test entry: the services of a test, so that no test can reach the
// machine's devices.
#include <gtest/gtest.h>

#include "process_state.h"

int main(int argc, char** argv) {
  platform::InstallServices(testing_support::TestServices());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
