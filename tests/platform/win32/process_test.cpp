// Starting programs hidden and waiting for their end together with the message queue.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/version_info.h"
#include "platform/win32/windows_api.h"

namespace zarn::platform {
namespace {

std::string OwnFolder() {
  std::string path = ExecutablePath();
  return path.substr(0, path.rfind('\\') + 1);
}

DWORD ExitCode(const ChildProcess& process) {
  DWORD code = 0;
  GetExitCodeProcess(reinterpret_cast<HANDLE>(process.WaitHandle()), &code);
  return code;
}

// Waits as the program waits for the registration tool: dispatching messages, blocked between.
void WaitForEnd(ChildProcess& process, std::uint32_t limit_ms) {
  const std::uint32_t start = TickCount();
  while (process.Running() && TickCount() - start < limit_ms) {
    MessageLoop::ProcessMessages();
    MessageLoop::WaitForMessageOrExit(process, limit_ms);
  }
}

TEST(Win32Process, StartsFromTheFolderAndEndsWithTheChildsCode) {
  const struct {
    const char* parameters;
    DWORD code;
  } cases[] = {
      {"exit 0", 0},
      {"exit 3", 3},
      {"sleep 300 5", 5},
      // A program may end with the code that also means "still running"; its end must show.
      {"exit 259", 259},
      {"loop", 7},  // the child runs its own message loop until a timer quits it
  };
  for (const auto& c : cases) {
    std::uint32_t error = 12345;
    auto process = StartHidden("platform_child.exe", c.parameters, OwnFolder(), error);
    ASSERT_NE(process, nullptr) << c.parameters << ": error " << error;
    EXPECT_EQ(error, 12345u);  // untouched on success
    WaitForEnd(*process, 20000);
    EXPECT_FALSE(process->Running()) << c.parameters;
    EXPECT_EQ(ExitCode(*process), c.code) << c.parameters;
  }
}

TEST(Win32Process, WaitReturnsWhenTheProcessEndsNotAtTheTimeout) {
  std::uint32_t error = 0;
  auto process = StartHidden("platform_child.exe", "sleep 200 0", OwnFolder(), error);
  ASSERT_NE(process, nullptr) << error;
  MessageLoop::ProcessMessages();
  const std::uint32_t start = TickCount();
  while (process->Running() && TickCount() - start < 10000) {
    MessageLoop::WaitForMessageOrExit(*process, 10000);
    MessageLoop::ProcessMessages();
  }
  EXPECT_FALSE(process->Running());
  EXPECT_LT(TickCount() - start, 5000u);
}

TEST(Win32Process, AProgramThatCannotBeFoundGivesTheSystemError) {
  std::uint32_t error = 0;
  EXPECT_EQ(StartHidden("derozor.exe", "-q x.dll", OwnFolder(), error), nullptr);
  EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(Win32VersionInfo, AFileWithoutVersionResourceHasNone) {
  EXPECT_EQ(VersionInfo::Load(OwnFolder() + "platform_child.exe"), nullptr);
  EXPECT_EQ(VersionInfo::Load(OwnFolder() + "no such file.exe"), nullptr);
}

}  // namespace
}  // namespace zarn::platform
