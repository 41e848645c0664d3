// Extractions whose output fails under the cabinet library: a write that finds no room, a write
// and a close that the system refuses. The extraction fails, the file being written is deleted,
// the files finished before it stay and nothing after it is written. Each case runs in a child
// process, which may lower its file-size limit or close its own descriptors without harm.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "cab/cabfiles.h"
#include "platform/file_handles.h"
#include "tests/cab/cab_files.h"
#include "tests/cab/cab_writer.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

// The descriptor this process holds open on the file, or -1.
int DescriptorOf(const fs::path& file) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (fs::read_symlink(entry.path(), error) == file) {
      return std::stoi(entry.path().filename().string());
    }
  }
  return -1;
}

enum class Failure { kNoRoom, kWrite, kClose };
enum class Compression { kStored, kMszip };

// A small file, a 100000-byte file written in several pieces, another small file.
std::string Cabinet(Compression compression) {
  const std::vector<test::CabEntry> entries = {
      {"first.txt", "finished"}, {"big.bin", std::string(100000, 'b')}, {"last.txt", "never"}};
  if (compression == Compression::kStored) return test::BuildCabinet(entries);
  std::string stream;
  std::vector<std::uint32_t> sizes;
  for (const auto& entry : entries) {
    stream += entry.data;
    sizes.push_back(static_cast<std::uint32_t>(entry.data.size()));
  }
  test::FolderData folder;
  folder.compression = 1;
  for (std::size_t at = 0; at < stream.size(); at += 32768) {
    folder.blocks.push_back(test::MszipStoredBlock(stream.substr(at, 32768)));
  }
  return test::BuildCabinetFromBlocks(entries, sizes, folder);
}

TEST(FailedExtractionOutput, FailsAndDeletesTheFileBeingWritten) {
  struct Case {
    const char* label;
    Failure failure;
    Compression compression;
    std::uint32_t error;  // the Windows number that the "Error" box shows
  };
  const Case cases[] = {
      // The file-size limit stands for a volume that fills during the write.
      {"no room, stored data", Failure::kNoRoom, Compression::kStored, 223},
      {"no room, MSZIP data", Failure::kNoRoom, Compression::kMszip, 223},
      {"refused write, stored data", Failure::kWrite, Compression::kStored, 6},
      {"refused write, MSZIP data", Failure::kWrite, Compression::kMszip, 6},
      {"refused close, stored data", Failure::kClose, Compression::kStored, 6},
      {"refused close, MSZIP data", Failure::kClose, Compression::kMszip, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir scratch;
    test::WriteBytes(scratch.PathOf("in.cab"), Cabinet(c.compression));
    fs::create_directory(scratch.PathOf("out"));
    const std::string box_file = scratch.PathOf("stderr.txt");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The POSIX "Error" box is a line on standard error.
      if (std::freopen(box_file.c_str(), "w", stderr) == nullptr) ::_exit(3);
      TCABFile cab;
      cab.CABFile = scratch.PathOf("in.cab");
      cab.TargetPath = scratch.PathOf("out");
      const fs::path big = fs::weakly_canonical(scratch.path() / "out" / "big.bin");
      if (c.failure == Failure::kNoRoom) {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      } else {
        // The descriptor goes away after the first write of the big file (so the next write
        // fails), or after its last one (so its close fails).
        cab.OnDecompressProgress = [&](TCABFile&, const std::string& name, int pos, int tot) {
          const bool now = c.failure == Failure::kWrite ? pos < tot : pos == tot;
          if (name == "big.bin" && now) ::close(DescriptorOf(big));
        };
      }
      ::_exit(cab.ExtractAll() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the extraction did not fail";
    EXPECT_EQ(test::ListTree(scratch.PathOf("out")), "first.txt\n");
    EXPECT_EQ(test::ReadWholeFile(scratch.PathOf("out/first.txt")), "finished");
    EXPECT_EQ(test::ReadWholeFile(box_file), "Error: " + platform::SystemErrorText(c.error) + "\n");
  }
}

}  // namespace
}  // namespace zarn
