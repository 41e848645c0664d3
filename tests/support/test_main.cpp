// The entry point of every test program.
#include <gtest/gtest.h>

#include "platform/message_loop.h"
#include "platform/system.h"
#include "tests/support/scratch_registry.h"

namespace {

// Where many cases share one process (the Windows test programs under Wine), a case that ended
// the message loop must not end it for the cases after it.
class ForgetQuit : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { zarn::platform::MessageLoop::ResetQuit(); }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new ForgetQuit);  // the list owns it
  zarn::platform::SetCommandLine(argc, argv);
  zarn::test::UseScratchRegistry();
  return RUN_ALL_TESTS();
}
