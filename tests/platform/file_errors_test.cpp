// The error numbers of failed file calls: Windows numbers on both back ends, so that a message
// such as "Unable to save the update log ... (error N)" reads the same everywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/file_handles.h"
#include "platform/files.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn::test {
namespace {

std::uint32_t OpenError(const std::string& path, platform::FileAccess access) {
  std::uint32_t error = 0;
  const platform::FileHandle file = platform::OpenFileHandle(path, access, error);
  if (file != platform::kInvalidFileHandle) platform::CloseFileHandle(file, error);
  return error;
}

std::uint32_t RenameError(const std::string& from, const std::string& to) {
  std::uint32_t error = 0;
  platform::RenameFile(from, to, error);
  return error;
}

std::uint32_t WriteError(const std::string& path) {
  std::uint32_t error = 0;
  platform::WriteWholeFile(path, std::string_view("x"), error);
  return error;
}

TEST(FileErrors, CommonFailuresCarryTheWindowsNumbers) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder");
  WriteBytes(dir.PathOf("a.txt"), "a");
  WriteBytes(dir.PathOf("b.txt"), "b");
  const struct {
    const char* name;
    std::function<std::uint32_t()> call;
    std::uint32_t error;
  } cases[] = {
      {"a missing file",
       [&] { return OpenError(dir.PathOf("none.txt"), platform::FileAccess::kRead); }, 2},
      {"a file in a missing folder", [&] { return WriteError(dir.PathOf("none/log.txt")); }, 3},
      {"a folder opened as a file for writing",
       [&] { return OpenError(dir.PathOf("folder"), platform::FileAccess::kWrite); }, 5},
      // MoveFile's own number for an existing target (not 80, which only an exclusive create
      // gives).
      {"a rename onto an existing file",
       [&] { return RenameError(dir.PathOf("a.txt"), dir.PathOf("b.txt")); }, 183},
#ifndef _WIN32
      {"a full disk", [] { return WriteError("/dev/full"); }, 112},
#endif
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), c.error) << c.name;
  }
}

}  // namespace
}  // namespace zarn::test
