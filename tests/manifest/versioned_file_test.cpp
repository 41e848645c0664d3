// FileNeedsUpdate for installed files that carry version information.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/packed_file_date.h"
#include "app/version_comparison.h"
#include "common/exception.h"
#include "local_write_time.h"
#include "platform/system.h"
#include "tests/support/recording_status.h"
#include "tests/support/temp_dir.h"
#include "version_fixtures.h"

namespace zarn {
namespace {

using test::VersionFixture;

TEST(GetFileVersionText, ReadsTheFirstTranslationsFileVersion) {
  const struct {
    const char* file;
    const char* expected;
  } cases[] = {
      {"strings.exe", "4.1.0.5"},
      {"strings64.dll", "4.1.0.5"},
      {"two_languages.dll", "4.1.0.7"},  // the German table, named first
      {"japanese.dll", "2.0.0.0"},
      {"commas.dll", "4,1,0,5"},
      {"no_translation.dll", ""},
      {"plain.exe", ""},
      {"absent.exe", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetFileVersionText(VersionFixture(c.file)), c.expected) << c.file;
  }
}

TEST(FileNeedsUpdate, ComparesVersionTextsAndLogsThemAsTheyStand) {
  const struct {
    const char* file;
    const char* listed;
    bool replace;
    const char* line;
  } cases[] = {
      {"strings.exe", "4.1.0.10", true, "-strings.exe Old:4.1.0.5 New:4.1.0.10 Replace."},
      {"two_languages.dll", "4.1.0.7", false, "-two_languages.dll Old:4.1.0.7 New:4.1.0.7 Ok."},
      {"two_languages.dll", "4.1.0.6", false, "-two_languages.dll Old:4.1.0.7 New:4.1.0.6 Ok."},
      {"v41.dll", "4.1.0.1", true, "-v41.dll Old:4.1 New:4.1.0.1 Replace."},
      {"v41dot.dll", "4.1.0.1", true, "-v41dot.dll Old:4.1. New:4.1.0.1 Replace."},
      {"v41dot.dll", "4.1", false, "-v41dot.dll Old:4.1. New:4.1 Ok."},
      {"v100.dll", "1.2.4.0", false, "-v100.dll Old:1.2.3.100 New:1.2.4.0 Ok."},
      {"strings64.dll", " 4.2", true, "-strings64.dll Old:4.1.0.5 New: 4.2 Replace."},
      // A packed date listed against a dotted version ranks as a version of one field.
      {"strings.exe", "1569156527", false, "-strings.exe Old:4.1.0.5 New:1569156527 Ok."},
      {"strings.exe", "2000", true, "-strings.exe Old:4.1.0.5 New:2000 Replace."},
  };
  for (const auto& c : cases) {
    test::RecordingStatus status;
    EXPECT_EQ(FileNeedsUpdate(status, c.listed, VersionFixture(c.file)), c.replace) << c.line;
    EXPECT_EQ(status.lines, std::vector<std::string>{c.line});
  }
}

TEST(FileNeedsUpdate, BadVersionTextsFailWithoutALine) {
  const struct {
    const char* file;
    const char* listed;
    const char* message;
  } cases[] = {
      {"strings.exe", "4..1", "'' is not a valid integer value"},
      {"strings.exe", "4.1.0.x", "'x' is not a valid integer value"},
      {"v41.dll", "ERROR", "'ERROR' is not a valid integer value"},
      // No "." in the installed text: both sides are taken for packed dates.
      {"commas.dll", "4.1.0.7", "'4.1.0.7' is not a valid integer value"},
      {"commas.dll", "1569156527", "'4,1,0,5' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    test::RecordingStatus status;
    try {
      FileNeedsUpdate(status, c.listed, VersionFixture(c.file));
      ADD_FAILURE() << c.file << " " << c.listed << " gave no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_TRUE(status.lines.empty());
  }
}

TEST(FileNeedsUpdate, WithoutATranslationTableTheFileDateDecides) {
  test::TempDir folder;
  const std::string path = folder.PathOf("no_translation.dll");
  std::filesystem::copy_file(VersionFixture("no_translation.dll"), path);
  const CivilDateTime installed{2026, 12, 7, 13, 45, 30, 0};
  test::SetLocalWriteTime(path, installed);
  test::RecordingStatus status;
  EXPECT_TRUE(FileNeedsUpdate(status, "1569156528", path));
  const CivilDateTime listed{2026, 12, 7, 13, 45, 32, 0};
  EXPECT_EQ(status.lines, std::vector<std::string>{
                              "-no_translation.dll Old: " + platform::FormatShortDate(installed) +
                              " " + platform::FormatLongTime(installed) +
                              "  New: " + platform::FormatShortDate(listed) + " " +
                              platform::FormatLongTime(listed) + " Replace."});
}

}  // namespace
}  // namespace zarn
