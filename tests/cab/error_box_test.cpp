// The "Error" box of the write, close and seek callbacks: shown for a failed operation with that
// operation's error, never for one that succeeded.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "cab/cabfiles.h"
#include "platform/file_handles.h"
#include "platform/files.h"
#include "tests/cab/cab_files.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using test::TempDir;
using test::WriteBytes;

// The POSIX box prints "caption: text" on standard error; under Windows it would wait for a
// click, so these cases run natively only.
class ErrorBox : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::PathDelimiter() != '/') GTEST_SKIP() << "a real box would wait for a click";
    WriteBytes(scratch_.PathOf("file.txt"), "content");
  }

  platform::FileHandle Open(platform::FileAccess access) {
    std::uint32_t error = 0;
    const platform::FileHandle file =
        platform::OpenFileHandle(scratch_.PathOf("file.txt"), access, error);
    EXPECT_NE(file, platform::kInvalidFileHandle);
    opened_.push_back(file);
    return file;
  }

  void TearDown() override {
    std::uint32_t error = 0;
    for (auto file : opened_) platform::CloseFileHandle(file, error);
  }

  const platform::CabinetCallbacks& callbacks_ = CabinetFileCallbacks();
  TempDir scratch_;
  std::vector<platform::FileHandle> opened_;
};

TEST_F(ErrorBox, AppearsOnlyWhenTheOperationFailed) {
  char buffer[4] = {'d', 'a', 't', 'a'};
  struct Case {
    std::string label;
    std::function<bool()> call;  // true when the operation reported failure
    std::string box;             // expected on standard error, empty for none
  };
  // The Windows numbers of a bad handle (6) and an invalid argument (87).
  const std::string bad_handle_box = "Error: " + platform::SystemErrorText(6) + "\n";
  const std::string bad_seek_box = "Error: " + platform::SystemErrorText(87) + "\n";
  const std::vector<Case> cases = {
      {"write to a read-only handle",
       [&] { return callbacks_.write(Open(platform::FileAccess::kRead), buffer, 4) == ~0u; },
       bad_handle_box},
      {"write that succeeds after a stale error",
       [&] {
         const auto file = Open(platform::FileAccess::kWrite);
         errno = ENOENT;
         return callbacks_.write(file, buffer, 4) != 4;
       },
       ""},
      {"seek before the start",
       [&] {
         return callbacks_.seek(Open(platform::FileAccess::kRead), -10, 0) != -1 ? false : true;
       },
       bad_seek_box},
      {"seek that succeeds after a stale error",
       [&] {
         const auto file = Open(platform::FileAccess::kRead);
         errno = ENOENT;
         return callbacks_.seek(file, 3, 0) != 3;
       },
       ""},
      {"close of a handle that is not open",
       [&] { return callbacks_.close(1000000) != -1 ? false : true; }, bad_handle_box},
      {"close that succeeds after a stale error",
       [&] {
         std::uint32_t error = 0;
         const auto file = platform::OpenFileHandle(scratch_.PathOf("file.txt"),
                                                    platform::FileAccess::kRead, error);
         errno = ENOENT;
         return callbacks_.close(file) != 0;
       },
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ::testing::internal::CaptureStderr();
    const bool failed = c.call();
    const std::string shown = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed, !c.box.empty());
    EXPECT_EQ(shown, c.box);
  }
}

}  // namespace
}  // namespace zarn
