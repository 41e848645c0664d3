// Closing and restarting the suite's companion programs, against fakes that linger after a close
// request.
#include "app/companion_programs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/companions.h"
#include "platform/message_loop.h"
#include "tests/companions/fake_companion.h"
#include "tests/support/recording_status.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

namespace zarn {
namespace {

using Lines = std::vector<std::string>;
using test::FakeCompanion;

constexpr const char* kMainClass = "TZARN4MF";
constexpr const char* kNetClass = "TfrmZarnNet";

// Waits up to ten seconds for the companion's window to exist (or to be gone).
bool WaitForWindow(const char* window_class, bool present) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (platform::FindWindowOfClass(window_class).has_value() != present) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Closes restarted companions, which are no children of the test.
void CloseRestarted() {
  for (const char* window_class : {kMainClass, kNetClass}) {
    if (const auto window = platform::FindWindowOfClass(window_class)) {
      platform::SendCloseRequest(*window);
      EXPECT_TRUE(WaitForWindow(window_class, false)) << window_class << " still running";
    }
  }
}

class CompanionProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(platform::FindWindowOfClass(kMainClass)) << "a main program is running already";
    ASSERT_FALSE(platform::FindWindowOfClass(kNetClass)) << "a network program is running already";
  }
  void TearDown() override { CloseRestarted(); }

  std::unique_ptr<FakeCompanion> Start(const std::string& program, int close_delay_ms = 0) {
    test::InstallFakeCompanion(folder.Folder(), program, close_delay_ms);
    return test::StartFakeCompanion(folder.Folder(), program);
  }

  test::CompanionTestLock lock;
  test::TempDir folder;
  test::RecordingStatus status;
  CompanionPrograms companions{status, 0};
};

TEST_F(CompanionProgramsTest, NeitherRunningClosesAndRestartsNothing) {
  EXPECT_TRUE(companions.CloseMainProgram());
  EXPECT_TRUE(companions.CloseNetProgram());
  EXPECT_FALSE(companions.MainProgramClosed());
  EXPECT_FALSE(companions.NetProgramClosed());
  companions.RestartClosedPrograms(folder.Folder());
  EXPECT_EQ(status.lines, Lines{});
}

TEST_F(CompanionProgramsTest, OnlyTheProgramThatRanIsClosedAndRestarted) {
  struct Case {
    const char* program;
    const char* window_class;
    const char* other_class;
    Lines lines;
  };
  const std::vector<Case> cases = {
      {"zarn4net.exe", kNetClass, kMainClass, {"Closing ZARN Net...", "Restarting ZARN Net ..."}},
      {"zarn4.exe", kMainClass, kNetClass, {"Closing ZARN 4...", "Restarting ZARN ..."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    test::RecordingStatus lines;
    CompanionPrograms only_one(lines, 0);
    auto fake = Start(c.program);
    ASSERT_TRUE(fake);
    EXPECT_TRUE(only_one.CloseMainProgram());
    EXPECT_TRUE(only_one.CloseNetProgram());
    EXPECT_TRUE(fake->Ended() || WaitForWindow(c.window_class, false));
    EXPECT_FALSE(platform::FindWindowOfClass(c.window_class));
    EXPECT_EQ(only_one.MainProgramClosed(), c.window_class == std::string(kMainClass));
    EXPECT_EQ(only_one.NetProgramClosed(), c.window_class == std::string(kNetClass));

    only_one.RestartClosedPrograms(folder.Folder());
    EXPECT_EQ(lines.lines, c.lines);
    EXPECT_TRUE(WaitForWindow(c.window_class, true)) << "not started again";
    EXPECT_FALSE(platform::FindWindowOfClass(c.other_class)) << "the other one was started";
    CloseRestarted();
  }
}

TEST_F(CompanionProgramsTest, BothAreClosedAndTheNetworkProgramRestartsFirst) {
  auto main_program = Start("zarn4.exe");
  auto net_program = Start("zarn4net.exe");
  ASSERT_TRUE(main_program && net_program);
  companions.CloseMainProgram();
  companions.CloseNetProgram();
  EXPECT_TRUE(companions.MainProgramClosed());
  EXPECT_TRUE(companions.NetProgramClosed());
  companions.RestartClosedPrograms(folder.Folder());
  EXPECT_EQ(status.lines, (Lines{"Closing ZARN 4...", "Closing ZARN Net...",
                                 "Restarting ZARN Net ...", "Restarting ZARN ..."}));
  EXPECT_TRUE(WaitForWindow(kNetClass, true));
  EXPECT_TRUE(WaitForWindow(kMainClass, true));
}

TEST_F(CompanionProgramsTest, ASlowCloserIsAwaitedWithMessagesFlowing) {
  constexpr int kCloseDelayMs = 1500;
  auto fake = Start("zarn4.exe", kCloseDelayMs);
  ASSERT_TRUE(fake);
  int ticks = 0;
  const auto timer = platform::Timer::Start(100, [&] { ++ticks; });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(companions.CloseMainProgram());
  const auto waited = std::chrono::steady_clock::now() - start;
  // Returned only once the program had gone, having dispatched the timer all the while.
  EXPECT_FALSE(platform::FindWindowOfClass(kMainClass));
  EXPECT_GE(waited, std::chrono::milliseconds(kCloseDelayMs));
  EXPECT_GE(ticks, 5);
  EXPECT_EQ(status.lines, Lines{"Closing ZARN 4..."});
}

TEST_F(CompanionProgramsTest, AMissingProgramLeavesOnlyTheStatusLine) {
  auto fake = Start("zarn4.exe");
  ASSERT_TRUE(fake);
  companions.CloseMainProgram();
  ASSERT_TRUE(companions.MainProgramClosed());
  std::filesystem::remove(folder.Folder() + "zarn4.exe");
  companions.RestartClosedPrograms(folder.Folder());
  companions.RestartNetProgram(folder.Folder() + "no-such-folder" + "/");
  EXPECT_EQ(status.lines,
            (Lines{"Closing ZARN 4...", "Restarting ZARN ...", "Restarting ZARN Net ..."}));
  EXPECT_FALSE(platform::ShellOpen(0, folder.Folder() + "zarn4.exe"));
}

TEST(Companions, ShellOpenStartsAProgramDetached) {
  test::CompanionTestLock lock;
  test::TempDir folder;
  test::InstallFakeCompanion(folder.Folder(), "zarn4net.exe", 0);
  ASSERT_FALSE(platform::FindWindowOfClass(kNetClass));
#ifndef _WIN32
  // What this process blocks or ignores must not keep the started program from closing.
  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigset_t before;
  sigprocmask(SIG_BLOCK, &term, &before);
  const auto previous_handler = signal(SIGTERM, SIG_IGN);
#endif
  EXPECT_TRUE(platform::ShellOpen(0, folder.Folder() + "zarn4net.exe"));
#ifndef _WIN32
  signal(SIGTERM, previous_handler);
  sigprocmask(SIG_SETMASK, &before, nullptr);
#endif
  ASSERT_TRUE(WaitForWindow(kNetClass, true));
#ifndef _WIN32
  // Nobody's child here: this process need not reap it.
  const auto pid = *platform::FindWindowOfClass(kNetClass);
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  int parent = 0;
  std::sscanf(text.c_str() + text.rfind(')') + 2, "%*c %d", &parent);
  EXPECT_NE(parent, getpid());
  // Nor does it hold this process's terminal or output pipes.
  for (int fd = 0; fd <= 2; ++fd) {
    const auto target =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd));
    EXPECT_EQ(target, "/dev/null") << fd;
  }
#endif
  EXPECT_FALSE(platform::FindWindowOfClass("TSomeOtherWindow"));
  CloseRestarted();
}

}  // namespace
}  // namespace zarn
