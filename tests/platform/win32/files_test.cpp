// Windows file facts the program relies on: which directory entries count as plain files, that a
// read-only file cannot be deleted, and the error codes of failed writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/win32/windows_api.h"
#include "tests/support/temp_dir.h"

namespace zarn::platform {
namespace {

bool Write(const std::string& path, std::string_view text) {
  std::uint32_t error = 0;
  return WriteWholeFile(path, text, error);
}

TEST(Win32Files, ListsPlainAndReadOnlyFilesOnly) {
  test::TempDir folder;
  const struct {
    const char* name;
    DWORD attributes;  // 0: a folder
    bool listed;
  } entries[] = {
      {"plain.txt", FILE_ATTRIBUTE_NORMAL, true},    {"NO_EXTENSION", FILE_ATTRIBUTE_ARCHIVE, true},
      {"locked.dll", FILE_ATTRIBUTE_READONLY, true}, {"hidden.ini", FILE_ATTRIBUTE_HIDDEN, false},
      {"system.sys", FILE_ATTRIBUTE_SYSTEM, false},  {"sub", 0, false},
  };
  std::vector<std::string> expected;
  for (const auto& e : entries) {
    const std::string path = folder.PathOf(e.name);
    if (e.attributes == 0) {
      ASSERT_TRUE(CreateFolder(path));
    } else {
      ASSERT_TRUE(Write(path, "x"));
      ASSERT_TRUE(SetFileAttributesA(path.c_str(), e.attributes));
    }
    if (e.listed) expected.push_back(e.name);
  }
  auto listed = ListPlainFiles(folder.Folder());
  std::sort(listed.begin(), listed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
  // The folder without its trailing delimiter lists the same.
  std::string bare = folder.Folder();
  bare.pop_back();
  EXPECT_EQ(ListPlainFiles(bare).size(), expected.size());
  EXPECT_TRUE(ListPlainFiles(folder.PathOf("missing")).empty());
}

TEST(Win32Files, ReadOnlyFileResistsDeletionUntilMadeWritable) {
  test::TempDir folder;
  const std::string path = folder.PathOf("locked.txt");
  ASSERT_TRUE(Write(path, "keep"));
  ASSERT_TRUE(SetReadOnly(path, true));
  EXPECT_FALSE(DeleteFile(path));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(FileExists(path));
  ASSERT_TRUE(SetReadOnly(path, false));
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(DeleteFile(path));
}

TEST(Win32Files, WriteWholeFileReplacesContentAndReportsTheSystemError) {
  test::TempDir folder;
  const std::string path = folder.PathOf("log.txt");
  ASSERT_TRUE(Write(path, "a much longer first content\r\n"));
  ASSERT_TRUE(Write(path, "short\r\n"));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 7u);

  const struct {
    std::string path;
    std::uint32_t error;
  } failures[] = {
      {folder.PathOf("no such folder\\log.txt"), ERROR_PATH_NOT_FOUND},
      {folder.Folder(), ERROR_ACCESS_DENIED},  // a folder, not a file
  };
  for (const auto& f : failures) {
    std::uint32_t error = 0;
    EXPECT_FALSE(WriteWholeFile(f.path, "x", error)) << f.path;
    EXPECT_EQ(error, f.error) << f.path;
  }
}

TEST(Win32Files, FoldersAndPathFacts) {
  test::TempDir folder;
  EXPECT_EQ(PathDelimiter(), '\\');
  EXPECT_TRUE(FileNamesIgnoreCase());
  EXPECT_TRUE(DirectoryExists(folder.Folder()));  // with the trailing delimiter
  EXPECT_FALSE(FileExists(folder.Folder()));
  EXPECT_FALSE(CreateFolder(folder.PathOf("a\\b")));  // one level only
  EXPECT_TRUE(CreateFolder(folder.PathOf("a")));
  EXPECT_FALSE(CreateFolder(folder.PathOf("a")));
  EXPECT_TRUE(CreateFolder(folder.PathOf("a\\b\\")));
  EXPECT_FALSE(RemoveFolder(folder.PathOf("a")));  // not empty
  EXPECT_TRUE(RemoveFolder(folder.PathOf("a\\b")));
  EXPECT_TRUE(RemoveFolder(folder.PathOf("a")));
  EXPECT_FALSE(DirectoryExists(""));
  const std::string own = ExecutablePath();
  EXPECT_TRUE(FileExists(own)) << own;
  EXPECT_EQ(own.substr(1, 2), ":\\") << own;
}

}  // namespace
}  // namespace zarn::platform
