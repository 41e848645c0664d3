// The entry point of every test program.
#include <gtest/gtest.h>

#include "platform/system.h"
#include "tests/support/scratch_registry.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  zarn::platform::SetCommandLine(argc, argv);
  zarn::test::UseScratchRegistry();
  return RUN_ALL_TESTS();
}
