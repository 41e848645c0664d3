// Extractions whose output fails under "cabinet.dll": the handle of the file being written goes
// away after its first write (the next write fails) or after its last (its close fails). The
// extraction fails, the file being written is deleted, the finished ones stay, and the "Error"
// box shows the failure. Wine's library ignores both failures and goes on with the next file, so
// before the component kept its own verdict, the extraction succeeded with a short file. Windows
// only: the POSIX library's side is held to the same in tests/posix.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cab/cabfiles.h"
#include "platform/file_handles.h"
#include "platform/message_loop.h"
#include "tests/cab/cab_files.h"
#include "tests/cab/cab_writer.h"
#include "tests/support/temp_dir.h"

// After the program's headers: windows.h defines macros that would rename their functions.
#include <windows.h>

namespace zarn {
namespace {

// The handle this process holds on the file; null when there is none.
HANDLE HandleOf(const std::string& path) {
  const HANDLE probe = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION want{};
  GetFileInformationByHandle(probe, &want);
  HANDLE found = nullptr;
  for (std::uintptr_t value = 4; value < 0x10000 && found == nullptr; value += 4) {
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == probe || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &info)) {
      continue;
    }
    if (info.dwVolumeSerialNumber == want.dwVolumeSerialNumber &&
        info.nFileIndexHigh == want.nFileIndexHigh && info.nFileIndexLow == want.nFileIndexLow) {
      found = handle;
    }
  }
  CloseHandle(probe);
  return found;
}

TEST(FailedOutput, FailsAndDeletesTheFileBeingWritten) {
  enum class Failure { kWrite, kClose };
  const struct {
    const char* label;
    Failure failure;
  } cases[] = {{"refused write", Failure::kWrite}, {"refused close", Failure::kClose}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir scratch;
    test::WriteBytes(scratch.PathOf("in.cab"),
                     test::BuildCabinet({{"first.txt", "finished"},
                                         {"big.bin", std::string(100000, 'b')},
                                         {"last.txt", "after"}}));
    std::filesystem::create_directory(scratch.PathOf("out"));
    TCABFile cab;
    cab.CABFile = scratch.PathOf("in.cab");
    cab.TargetPath = scratch.PathOf("out");
    bool gone = false;
    cab.OnDecompressProgress = [&](TCABFile&, const std::string& name, int pos, int tot) {
      const bool now = c.failure == Failure::kWrite ? pos < tot : pos == tot;
      if (name != "big.bin" || !now || gone) return;
      CloseHandle(HandleOf(scratch.PathOf("out/big.bin")));
      gone = true;
      // Before a write, an event takes the freed handle's place, so that the failed writes and
      // the closes after them meet no handle of anyone else. It is left to the process's end:
      // the component may close it as its output.
      if (c.failure == Failure::kWrite) CreateEventA(nullptr, TRUE, FALSE, nullptr);
    };
    // Each "Error" box is read and answered from inside its own message loop.
    std::vector<std::string> boxes;
    auto answer = platform::Timer::Start(50, [&] {
      const HWND box = FindWindowA("#32770", "Error");
      if (box == nullptr) return;
      char text[1100] = {};
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      boxes.emplace_back(text);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    });

    EXPECT_FALSE(cab.ExtractAll());
    EXPECT_FALSE(std::filesystem::exists(scratch.PathOf("out/big.bin")));
    EXPECT_EQ(test::ReadWholeFile(scratch.PathOf("out/first.txt")), "finished");
    // The library may go on with the next file; if it does, that file comes out whole.
    if (std::filesystem::exists(scratch.PathOf("out/last.txt"))) {
      EXPECT_EQ(test::ReadWholeFile(scratch.PathOf("out/last.txt")), "after");
    }
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front(), platform::SystemErrorText(ERROR_INVALID_HANDLE));
  }
}

}  // namespace
}  // namespace zarn

#endif  // _WIN32
