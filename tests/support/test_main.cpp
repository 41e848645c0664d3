// The entry point of every test program.
#include <gtest/gtest.h>

#include "platform/system.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  zarn::platform::SetCommandLine(argc, argv);
  return RUN_ALL_TESTS();
}
