// The updater's helpers where POSIX behaviour is checked directly: the command line as main
// hands it over, the compiled-in version strings, hidden files, the processor time of a pause,
// the registration tool as a real process, and the connection state.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/update_common.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "platform/system.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "zarn_version.h"

namespace zarn {
namespace {

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Writes an executable shell script.
void Script(const std::string& path, const std::string& body) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

// Records the working directory and each parameter in brackets into args.txt.
constexpr const char* kRecorder =
    "{ pwd -P; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > args.tmp\n"
    "mv args.tmp args.txt\n";

TEST(CommandLineSwitchPosix, ReadsTheParametersMainHandedOver) {
  const std::vector<std::string> saved = platform::CommandLineParameters();
  std::string program = "zarn4update", mixed = "/Run";
  char* with_switch[] = {program.data(), mixed.data()};
  platform::SetCommandLine(2, with_switch);
  EXPECT_TRUE(CommandLineHasSwitch("/run"));
  platform::SetCommandLine(1, with_switch);
  EXPECT_FALSE(CommandLineHasSwitch("/run"));
  std::vector<char*> back;
  std::vector<std::string> copy = saved;
  for (std::string& p : copy) back.push_back(p.data());
  platform::SetCommandLine(static_cast<int>(back.size()), back.data());
}

TEST(AppVersionString, AnswersFromTheCompiledInVersionByIndex) {
  const struct {
    int index;
    std::string expected;
  } cases[] = {
      {3, ZARN_VERSION_TEXT},
      {9, ZARN_VERSION_TEXT},
      {7, "zarn4update.exe"},
      {6, ""},  // LegalTradeMarks: the program has none
      {0, ""},
      {11, ""},
      {-1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(GetAppVersionString(c.index), c.expected);
  }
}

// Nothing of an earlier pass may stay in the work folder, hidden files included.
TEST(EmptyFolderPosix, HiddenFilesGoToo) {
  const test::TempDir scratch;
  const std::string folder = scratch.Folder();
  for (const char* name : {".hidden", "plain"}) std::ofstream(folder + name) << "x";
  EXPECT_TRUE(EmptyFolder(folder));
  EXPECT_FALSE(platform::FileExists(folder + ".hidden"));
  EXPECT_FALSE(platform::FileExists(folder + "plain"));
}

TEST(PumpMessagesForPosix, ALongPauseIsCappedAtFiveSecondsAndCostsAlmostNoProcessorTime) {
  const double processor_before = ProcessorSeconds();
  const std::uint32_t start = platform::TickCount();
  PumpMessagesFor(10000);
  const std::uint32_t elapsed = platform::TickCount() - start;
  const double processor = ProcessorSeconds() - processor_before;
  EXPECT_GT(elapsed, 5000u);
  EXPECT_LT(elapsed, 6500u);
  // Under 2% of one core for the pause.
  EXPECT_LT(processor, 0.1) << "processor seconds " << processor;
  RecordProperty("pause_processor_ms", static_cast<int>(processor * 1000));
}

TEST(RegistrationToolPosix, StartsDerozorInTheFolderWithTheFileAndWaitsForItsEnd) {
  const struct {
    std::string file;
    bool register_file;
    std::string expected_parameters;
  } cases[] = {
      {"ZARN4NET.EXE", true, "[-q]\n[ZARN4NET.EXE]\n"},
      {"zarnctl.dll", false, "[-q]\n[-u]\n[zarnctl.dll]\n"},
      {"my control.ocx", true, "[-q]\n[my control.ocx]\n"},
  };
  const test::TempDir scratch;
  const std::string folder = scratch.Folder();
  // The tool takes a while, so returning before it ended would leave no args.txt behind.
  Script(folder + "derozor.exe", std::string("sleep 0.3\n") + kRecorder);
  const std::string canonical = std::filesystem::canonical(folder).string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::filesystem::remove(folder + "args.txt");
    std::uint32_t error = 777;
    EXPECT_TRUE(RunRegistrationTool(c.file, folder, c.register_file, error));
    EXPECT_EQ(error, 777u);  // untouched on success
    EXPECT_EQ(test::ReadWholeFile(folder + "args.txt"), canonical + "\n" + c.expected_parameters);
  }
}

TEST(RegistrationToolPosix, TheWaitDispatchesMessagesAndCostsAlmostNoProcessorTime) {
  const test::TempDir scratch;
  const std::string folder = scratch.Folder();
  Script(folder + "derozor.exe", "sleep 1\n");
  int ticks = 0;
  const auto timer = platform::Timer::Start(50, [&ticks] { ++ticks; });
  const double processor_before = ProcessorSeconds();
  std::uint32_t error = 0;
  EXPECT_TRUE(RunRegistrationTool("x.dll", folder, true, error));
  EXPECT_LT(ProcessorSeconds() - processor_before, 0.1);
  EXPECT_GE(ticks, 10);
}

// The application's end is for the whole process, so this test ends its own child process.
TEST(RegistrationToolPosix, TheWaitEndsWhenTheApplicationTerminatesAndLeavesTheToolRunning) {
  const test::TempDir scratch;
  const std::string folder = scratch.Folder();
  Script(folder + "derozor.exe", "sleep 2\necho finished > result\n");
  const pid_t child = fork();
  if (child == 0) {
    const auto quit = platform::Timer::Start(100, [] { platform::MessageLoop::Quit(); });
    const std::uint32_t start = platform::TickCount();
    std::uint32_t error = 0;
    const bool started = RunRegistrationTool("x.dll", folder, true, error);
    const std::uint32_t elapsed = platform::TickCount() - start;
    _exit(started && elapsed < 1500 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(platform::FileExists(folder + "result"));
  for (int i = 0; i < 100 && !platform::FileExists(folder + "result"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(platform::FileExists(folder + "result"));  // the tool was not stopped
}

TEST(RegistrationToolPosix, StartFailuresCarryTheWindowsErrorCode) {
  const test::TempDir scratch;
  const std::string folder = scratch.Folder();
  std::ofstream(folder + "derozor.exe") << "#!/bin/sh\n";
  chmod((folder + "derozor.exe").c_str(), 0644);
  const test::TempDir empty;
  const struct {
    std::string folder;
    std::uint32_t error;
  } cases[] = {
      {folder, 5},               // not executable: ERROR_ACCESS_DENIED
      {folder + "missing/", 3},  // no such folder: ERROR_PATH_NOT_FOUND
      {empty.Folder(), 2},       // no such program: ERROR_FILE_NOT_FOUND
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    std::uint32_t error = 0;
    EXPECT_FALSE(RunRegistrationTool("x.dll", c.folder, true, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(StartHidden, SplitsParametersAtBlanksWithQuotesGrouping) {
  const struct {
    std::string parameters;
    std::string expected;
  } cases[] = {
      {"a b", "[a]\n[b]\n"},
      {"  a   b  ", "[a]\n[b]\n"},
      {"\"a b\" c", "[a b]\n[c]\n"},
      {"x\"a b\"y", "[xa by]\n"},
      {"\"\"", "[]\n"},
      {"", ""},
  };
  const test::TempDir scratch;
  const std::string folder = scratch.Folder();
  Script(folder + "tool", kRecorder);
  const std::string canonical = std::filesystem::canonical(folder).string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameters);
    std::filesystem::remove(folder + "args.txt");
    std::uint32_t error = 0;
    auto child = platform::StartHidden("tool", c.parameters, folder, error);
    ASSERT_NE(child, nullptr) << error;
    pollfd ended{static_cast<int>(child->WaitHandle()), POLLIN, 0};
    ASSERT_EQ(poll(&ended, 1, 10000), 1);  // the handle turns readable when the child ends
    EXPECT_FALSE(child->Running());
    EXPECT_FALSE(child->Running());  // asking again after the end is harmless
    EXPECT_EQ(test::ReadWholeFile(folder + "args.txt"), canonical + "\n" + c.expected);
  }
}

TEST(StartHidden, ReleasingTheHandleLeavesTheChildRunningWithStandardInputEmpty) {
  const test::TempDir scratch;
  const std::string folder = scratch.Folder();
  Script(folder + "tool",
         "sleep 0.3\nif read line; then echo input > result; else echo none > result; fi\n");
  std::uint32_t error = 0;
  auto child = platform::StartHidden("tool", "", folder, error);
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(child->Running());
  child.reset();
  for (int i = 0; i < 100 && !platform::FileExists(folder + "result"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(test::ReadWholeFile(folder + "result"), "none\n");
}

TEST(ConnectionStatePosix, IsALanWhenConnectedAndNeverAModem) {
  for (const std::uint8_t modem_before : {0, 1}) {
    std::uint8_t modem = modem_before;
    std::string description;
    if (GetConnectionState(modem, description)) {
      EXPECT_EQ(modem, 0);
      EXPECT_EQ(description, "LAN");
    } else {
      EXPECT_EQ(modem, modem_before);  // nothing reported, so the caller's guess stands
      EXPECT_EQ(description, "OffLine");
    }
  }
}

}  // namespace
}  // namespace zarn
