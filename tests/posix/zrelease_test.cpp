// The publisher's tool's own rules: the "Time Of Update" form (it must keep growing past 2038 and
// fit the manifest's 32-bit number) and the releases it refuses to build.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tools/zrelease/release_builder.h"
#include "tools/zrelease/time_stamp.h"

namespace zarn::release {
namespace {

TEST(TimeOfUpdate, NumbersAndUtcTimesWithinTheSigned32BitRange) {
  const struct Row {
    const char* text;
    std::optional<std::int32_t> stamp;
  } rows[] = {
      {"0", 0},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"-1", std::nullopt},
      {"2000-01-01T00:00", 0},
      {"2000-01-01 00:01", 1},
      // The second that ends 32-bit Unix time, and a century later: still growing, still fitting.
      {"2038-01-19T03:14", 20013314},
      {"2038-01-19T03:15", 20013315},
      {"2138-01-19T03:15", 72607875},
      {"1999-12-31T23:59", std::nullopt},
      {"2026-13-01T00:00", std::nullopt},
      {"2024-02-29T12:34", 12708754},
      {"2026-02-29T00:00", std::nullopt},  // not rolled over into March
      {"2026-12-08T11:10Z", std::nullopt},
      {"12ab", std::nullopt},
      {"", std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ParseTimeOfUpdate(row.text), row.stamp) << row.text;
  }
}

TEST(BuildRelease, RefusesWhatTheUpdaterCouldNotInstall) {
  const test::TempDir dir;
  const std::filesystem::path from = dir.path() / "prog";
  std::filesystem::create_directories(from / "a");
  test::WriteBytes(from / "a_b.txt", "one");
  test::WriteBytes(from / "a" / "b.txt", "two");
  const struct Row {
    const char* name;
    BuildOptions options;
    const char* problem;
  } rows[] = {
      {"two files, one cabinet name",
       {from.string(), dir.PathOf("out1"), false, {}, 0, ""},
       "a\\b.txt and a_b.txt would share the cabinet a_b.txt.cab"},
      {"no such folder",
       {dir.PathOf("none"), dir.PathOf("out2"), false, {}, 0, ""},
       " is not a folder"},
  };
  for (const Row& row : rows) {
    const std::string problem = BuildRelease(row.options);
    EXPECT_NE(problem.find(row.problem), std::string::npos) << row.name << ": " << problem;
  }
  std::filesystem::remove(from / "a" / "b.txt");
  const std::string problem =
      BuildRelease({from.string(), dir.PathOf("out3"), false, {"radio.dll"}, 0, ""});
  EXPECT_EQ(problem, "--register radio.dll: no such file in " + from.string());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out3" / "z4up.ini"));
}

}  // namespace
}  // namespace zarn::release
