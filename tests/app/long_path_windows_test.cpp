// Short 8.3 names come out in their long form; Windows only, where files have both.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/long_path.h"
#include "tests/support/temp_dir.h"

// After the program's headers: windows.h defines macros that would rename their functions.
#include <windows.h>

namespace zarn {
namespace {

namespace fs = std::filesystem;

TEST(LongPath, ShortNamesComeOutLong) {
  const test::TempDir scratch;
  const fs::path folder = scratch.path() / "Zarn Long Folder Name";
  fs::create_directories(folder);
  const std::string file = (folder / "Receiver Driver Number One.dll").string();
  std::ofstream(file) << "x";
  char short_path[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(file.c_str(), short_path, MAX_PATH);
  ASSERT_GT(length, 0u);
  // Volumes with short names switched off have nothing to expand.
  if (std::string(short_path) == file) GTEST_SKIP() << "the file system gives no short names";
  EXPECT_EQ(ExpandLongPath(short_path), file);
  // A missing rest after a short folder name stays as written.
  const std::string short_folder = fs::path(short_path).parent_path().string();
  EXPECT_EQ(ExpandLongPath(short_folder + "\\GONE~1\\x.dll"), folder.string() + "\\GONE~1\\x.dll");
}

}  // namespace
}  // namespace zarn

#endif
