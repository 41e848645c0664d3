// The updater started through its 8.3 short name (ZARN4U~1.EXE) or in another letter case still
// knows its own key, so that it neither overwrites itself nor registers itself; Windows only,
// where files have both names.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/manifest_names.h"
#include "tests/support/temp_dir.h"

// After the program's headers: windows.h defines macros that would rename their functions.
#include <windows.h>

namespace zarn {
namespace {

namespace fs = std::filesystem;

TEST(OwnExecutable, ShortAndOtherCaseNamesGiveTheLongName) {
  const test::TempDir scratch;
  const std::string file = (scratch.path() / "zarn4update.exe").string();
  std::ofstream(file) << "x";
  char short_path[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(file.c_str(), short_path, MAX_PATH), 0u);
  const struct {
    std::string started_as;
  } rows[] = {{file}, {(scratch.path() / "ZARN4UPDATE.exe").string()}, {short_path}};
  for (const auto& row : rows) {
    EXPECT_EQ(OwnExecutableName(row.started_as), "ZARN4UPDATE.EXE") << row.started_as;
  }
  // The short name itself is never taken as a key, whatever file it stands for.
  const std::string short_name = fs::path(short_path).filename().string();
  if (short_name != "zarn4update.exe") {
    EXPECT_EQ(FileKeyRefusal(short_name), NameRefusal::kShortName) << short_name;
  }
}

}  // namespace
}  // namespace zarn

#endif
