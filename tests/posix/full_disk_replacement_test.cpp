// A copy that runs out of room: in a child process whose file-size limit is smaller than the new
// file (RLIMIT_FSIZE, with SIGXFSZ ignored so that the write fails instead of killing it).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "app/installed_file.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

TEST(FullDiskReplacement, OldFileStaysAndNoTemporaryFileIsLeft) {
  test::TempDir dir;
  const std::string source = dir.Write("new.dll", std::string(256 * 1024, 'n'));
  const std::string target = dir.Write("installed.dll", "old bytes");

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {64 * 1024, 64 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const ReplaceResult result = ReplaceInstalledFile(source, target);
    // ERROR_FILE_TOO_LARGE: the write beyond the limit failed.
    ::_exit(!result.replaced && result.error == 223 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::ReadWholeFile(target), "old bytes");
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2) << "only the two files";
}

}  // namespace
}  // namespace zarn
