// Replacing an installed file that must not or cannot be replaced: the old file stays byte for
// byte, the error number is the Windows one, and no temporary file is left behind.
#include "app/installed_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/files.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include "platform/win32/windows_api.h"
#else
#include <sys/stat.h>
#endif

namespace zarn {
namespace {

namespace fs = std::filesystem;

// The names in a folder, hidden ones included.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(InstalledFile, RefusedReplacementsLeaveTheTargetAsItWas) {
  const std::uint32_t kAccessDenied = 5;
  struct Case {
    const char* what;
    // Prepares the target; returns what undoes it after the replacement (may be empty).
    std::function<std::function<void()>(const std::string& target)> prepare;
    std::uint32_t error;
  };
  const std::vector<Case> cases = {
      {"a read-only target",
       [](const std::string& target) {
         platform::SetReadOnly(target, true);
         return [target] { platform::SetReadOnly(target, false); };
       },
       kAccessDenied},
      {"a folder where the file should be",
       [](const std::string& target) {
         fs::remove(target);
         fs::create_directory(target);
         test::WriteBytes(fs::path(target) / "inside.txt", "kept");
         return std::function<void()>();
       },
       kAccessDenied},
#ifdef _WIN32
      {"a target another program holds open without sharing",
       [](const std::string& target) {
         const HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
         return std::function<void()>([held] { CloseHandle(held); });
       },
       ERROR_SHARING_VIOLATION},
#else
      {"a FIFO where the file should be (never opened, so nothing waits on it)",
       [](const std::string& target) {
         fs::remove(target);
         ::mkfifo(target.c_str(), 0600);
         return std::function<void()>();
       },
       kAccessDenied},
      {"a link where the file should be",
       [](const std::string& target) {
         fs::remove(target);
         fs::create_symlink("elsewhere.txt", target);
         return std::function<void()>();
       },
       kAccessDenied},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string source = dir.Write("new.dll", std::string(100000, 'n'));
    const std::string target = dir.Write("installed.dll", "old bytes");
    const auto undo = c.prepare(target);
    const auto before = Names(dir.path());
    const bool was_file = fs::is_regular_file(fs::symlink_status(target));

    const ReplaceResult result = ReplaceInstalledFile(source, target);
    if (undo) undo();

    EXPECT_FALSE(result.replaced);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(Names(dir.path()), before) << "no temporary file stays";
    if (was_file) {
      EXPECT_TRUE(test::ReadWholeFile(target) == "old bytes") << "the old file stays";
    }
  }
}

TEST(InstalledFile, MissingSourceOrFolderFailWithTheirNumbers) {
  test::TempDir dir;
  const std::string source = dir.Write("new.dll", "new");
  EXPECT_EQ(ReplaceInstalledFile(dir.PathOf("absent.dll"), dir.PathOf("x.dll")).error, 2u);
  EXPECT_EQ(ReplaceInstalledFile(source, dir.PathOf("absent/x.dll")).error, 3u);
}

}  // namespace
}  // namespace zarn
