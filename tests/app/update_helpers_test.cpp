// The updater's system helpers that behave alike on both back ends: the switch test, emptying
// the work folder, timed pauses and a registration tool that is not there.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/update_common.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

TEST(CommandLineSwitch, MatchesWholeParametersWhateverTheirLetterCase) {
  const struct {
    std::vector<std::string> parameters;
    bool expected;
  } cases[] = {
      {{"zarn4update.exe", "/run"}, true},
      {{"zarn4update.exe", "/RUN"}, true},
      {{"zarn4update.exe", "/Run"}, true},
      {{"zarn4update.exe", "other", "/rUN"}, true},
      {{"zarn4update.exe", "/run x"}, false},  // a quoted parameter with a blank after the switch
      {{"zarn4update.exe", "/run2"}, false},
      {{"zarn4update.exe", "-run"}, false},
      {{"zarn4update.exe", "run"}, false},
      {{"zarn4update.exe", " /run"}, false},
      {{"/run"}, false},  // the program path is not a parameter
      {{}, false},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (const auto& p : c.parameters) trace += "[" + p + "]";
    SCOPED_TRACE(trace);
    EXPECT_EQ(ParametersHaveSwitch(c.parameters, "/run"), c.expected);
  }
}

// A folder of the test's own with files and sub-folders made to order.
class EmptyFolderTest : public testing::Test {
 protected:
  void File(const std::string& name, bool read_only = false) {
    std::uint32_t error = 0;
    ASSERT_TRUE(platform::WriteWholeFile(folder_ + name, std::span<const char>("x", 1), error));
    if (read_only) {
      ASSERT_TRUE(platform::SetReadOnly(folder_ + name, true));
    }
  }

  test::TempDir scratch_;  // removed with its read-only files
  std::string folder_ = scratch_.Folder();
};

TEST_F(EmptyFolderTest, DeletesThePlainFilesAndSaysWhetherAllWent) {
  File("a.cab");
  File("B.DLL");
  EXPECT_TRUE(EmptyFolder(folder_));
  EXPECT_FALSE(platform::FileExists(folder_ + "a.cab"));
  EXPECT_FALSE(platform::FileExists(folder_ + "B.DLL"));
  EXPECT_TRUE(platform::DirectoryExists(folder_));
  EXPECT_TRUE(EmptyFolder(folder_));  // nothing left to delete is still success
}

TEST_F(EmptyFolderTest, AReadOnlyFileFailsTheWholeButTheOthersStillGo) {
  File("kept.exe", true);
  File("gone.ini");
  ASSERT_TRUE(platform::CreateFolder(folder_ + "sub"));
  const std::string deep = std::string("sub") + platform::PathDelimiter() + "deep.txt";
  File(deep, true);
  EXPECT_FALSE(EmptyFolder(folder_));
  EXPECT_TRUE(platform::FileExists(folder_ + "kept.exe"));
  EXPECT_TRUE(platform::FileExists(folder_ + deep));
  EXPECT_FALSE(platform::FileExists(folder_ + "gone.ini"));
}

// What an earlier pass left in sub-folders, hidden files included, goes with the folders; a link
// goes without what it leads to.
TEST_F(EmptyFolderTest, SubFoldersGoWithAllTheyHoldAndLinksAreNotFollowed) {
  const char d = platform::PathDelimiter();
  ASSERT_TRUE(platform::CreateFolder(folder_ + "sub"));
  ASSERT_TRUE(platform::CreateFolder(folder_ + "sub" + d + "deeper"));
  File(std::string("sub") + d + "inner.txt");
  File(std::string("sub") + d + "deeper" + d + ".hidden");
  File(".hidden");
#ifndef _WIN32
  test::TempDir outside;
  std::uint32_t error = 0;
  ASSERT_TRUE(
      platform::WriteWholeFile(outside.Folder() + "victim", std::span<const char>("v", 1), error));
  ASSERT_EQ(::symlink(outside.Folder().c_str(), (folder_ + "link").c_str()), 0);
#endif
  EXPECT_TRUE(EmptyFolder(folder_));
  EXPECT_FALSE(platform::DirectoryExists(folder_ + "sub"));
  EXPECT_FALSE(platform::FileExists(folder_ + ".hidden"));
#ifndef _WIN32
  EXPECT_TRUE(platform::FileExists(outside.Folder() + "victim"));
#endif
  EXPECT_TRUE(platform::RemoveFolder(folder_));
  ASSERT_TRUE(platform::CreateFolder(folder_));  // for the scratch folder's own clean-up
}

TEST_F(EmptyFolderTest, AFolderThatIsNotThereOrIsAFileFails) {
  File("plain");
  EXPECT_FALSE(EmptyFolder(folder_ + "missing" + platform::PathDelimiter()));
  EXPECT_FALSE(EmptyFolder(folder_ + "plain"));
  EXPECT_FALSE(EmptyFolder(""));
  // Without its trailing delimiter the folder is the same folder.
  EXPECT_TRUE(EmptyFolder(folder_.substr(0, folder_.size() - 1)));
  EXPECT_FALSE(platform::FileExists(folder_ + "plain"));
}

TEST(PumpMessagesFor, WaitsLongerThanAskedAndDispatchesMessagesMeanwhile) {
  int ticks = 0;
  const auto timer = platform::Timer::Start(40, [&ticks] { ++ticks; });
  const std::uint32_t start = platform::TickCount();
  PumpMessagesFor(300);
  const std::uint32_t elapsed = platform::TickCount() - start;
  EXPECT_GT(elapsed, 300u);
  EXPECT_LT(elapsed, 2000u);
  EXPECT_GE(ticks, 3);
}

TEST(PumpMessagesFor, ZeroReturnsAtOnceAfterDispatchingWhatWaits) {
  int ticks = 0;
  const auto timer = platform::Timer::Start(10, [&ticks] { ++ticks; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the timer is due now
  const std::uint32_t start = platform::TickCount();
  PumpMessagesFor(0);
  EXPECT_LT(platform::TickCount() - start, 1000u);
  EXPECT_GE(ticks, 1);
}

TEST(RegistrationTool, AToolThatIsNotThereIsReportedWithTheSystemsCode) {
  const test::TempDir scratch;
  std::uint32_t error = 12345;
  EXPECT_FALSE(RunRegistrationTool("component.dll", scratch.Folder(), true, error));
  EXPECT_EQ(error, 2u);  // ERROR_FILE_NOT_FOUND
}

}  // namespace
}  // namespace zarn
