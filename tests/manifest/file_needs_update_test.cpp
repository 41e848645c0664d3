// FileNeedsUpdate for files without version information: the packed-date branch, new files and
// the errors that leave no line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/packed_file_date.h"
#include "app/version_comparison.h"
#include "common/exception.h"
#include "local_write_time.h"
#include "platform/file_handles.h"
#include "platform/file_times.h"
#include "platform/system.h"
#include "tests/support/recording_status.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

// 2026-12-07 13:45:30 local time, packed.
constexpr CivilDateTime kInstalledTime{2026, 12, 7, 13, 45, 30, 0};
constexpr std::int32_t kInstalledPacked = 1569156527;

std::string DateText(const CivilDateTime& c) {
  return platform::FormatShortDate(c) + " " + platform::FormatLongTime(c);
}

TEST(FileNeedsUpdate, ComparesPackedDatesAndLogsThemAsDates) {
  test::TempDir folder;
  const std::string path = folder.Write("zarn4.hlp", "no version resource here");
  test::SetLocalWriteTime(path, kInstalledTime);
  ASSERT_EQ(PackedFileDate(path), kInstalledPacked);

  const std::string old_part = "-zarn4.hlp Old: " + DateText(kInstalledTime) + "  New: ";
  const struct {
    std::int32_t listed;
    CivilDateTime listed_time;
    bool replace;
  } cases[] = {
      {kInstalledPacked + 1, {2026, 12, 7, 13, 45, 32, 0}, true},  // two seconds later
      {kInstalledPacked, kInstalledTime, false},
      {kInstalledPacked - 1, {2026, 12, 7, 13, 45, 28, 0}, false},
      {1569193984, {2026, 12, 8, 0, 0, 0, 0}, true},  // midnight: the date alone
  };
  for (const auto& c : cases) {
    test::RecordingStatus status;
    EXPECT_EQ(FileNeedsUpdate(status, std::to_string(c.listed), path), c.replace);
    const bool midnight = c.listed_time.hour == 0 && c.listed_time.minute == 0;
    const std::string listed_text =
        midnight ? platform::FormatShortDate(c.listed_time) : DateText(c.listed_time);
    EXPECT_EQ(status.lines, std::vector<std::string>{old_part + listed_text +
                                                     (c.replace ? " Replace." : " Ok.")});
  }
}

TEST(FileNeedsUpdate, DatesOfTheTopBitRankBeforeAllOthers) {
  EXPECT_EQ(PackFileDate({2044, 1, 2, 3, 4, 6, 0}), -2145249149);
  EXPECT_EQ(PackFileDate({1979, 12, 31, 23, 59, 58, 0}), -1);
  test::TempDir folder;
  const std::string path = folder.Write("late.dat", "x");
  // Noon of 2044-01-15 in UTC is 2044 in every time zone, so the packed date has its top bit set.
  // (The platform sets it: the C++ library's own setter wraps such times on 32-bit Windows.)
  std::uint32_t error = 0;
  const platform::FileHandle file =
      platform::OpenFileHandle(path, platform::FileAccess::kWrite, error);
  ASSERT_NE(file, platform::kInvalidFileHandle);
  EXPECT_TRUE(platform::SetLastWriteTimeFromDos(file, (64 << 9) | (1 << 5) | 15, 12 << 11, error));
  platform::CloseFileHandle(file, error);
  ASSERT_LT(PackedFileDate(path), 0);
  test::RecordingStatus status;
  EXPECT_TRUE(FileNeedsUpdate(status, std::to_string(kInstalledPacked), path));
}

TEST(FileNeedsUpdate, MissingFileIsNewWithoutLookingAtTheListedValue) {
  test::TempDir folder;
  std::filesystem::create_directory(folder.PathOf("folder.exe"));
  const struct {
    std::string path;
    const char* line;
  } cases[] = {
      {folder.PathOf("absent.exe"), " absent.exe is a new file"},
      {folder.PathOf("folder.exe"), " folder.exe is a new file"},  // a folder is no file
      {"C:\\ZARN4-absent\\sub\\new.dll", " new.dll is a new file"},
      {"C:new.ocx", " new.ocx is a new file"},
  };
  for (const auto& c : cases) {
    test::RecordingStatus status;
    EXPECT_TRUE(FileNeedsUpdate(status, "not a version", c.path));
    EXPECT_EQ(status.lines, std::vector<std::string>{c.line});
  }
}

TEST(FileNeedsUpdate, ConversionErrorsLeaveNoLine) {
  test::TempDir folder;
  const std::string path = folder.Write("zarn4.hlp", "x");
  test::SetLocalWriteTime(path, kInstalledTime);
  const struct {
    const char* listed;
    const char* message;
  } cases[] = {
      {"4.1.0.7", "'4.1.0.7' is not a valid integer value"},
      {"", "'' is not a valid integer value"},
      {"0", "Invalid argument to date encode"},
      {"1583153152", "Invalid argument to date encode"},  // 2027-02-29
      {"1569177600", "Invalid argument to time encode"},  // hour 24
      {"1569156542", "Invalid argument to time encode"},  // 60 seconds
  };
  for (const auto& c : cases) {
    test::RecordingStatus status;
    try {
      FileNeedsUpdate(status, c.listed, path);
      ADD_FAILURE() << c.listed << " gave no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message) << c.listed;
    }
    EXPECT_TRUE(status.lines.empty()) << c.listed;
  }
}

}  // namespace
}  // namespace zarn
