// Patches on both back ends: a round trip, and each way a patch can be wrong for its base or
// hostile, refused before it is trusted. The zstd tool's own patch shows the format is zstd's.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/patch.h"
#include "tests/support/build_files.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn::platform {
namespace {

// Bytes that do not compress on their own, so that only the base can make the patch small.
std::string Noise(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

Sha256Digest DigestOf(const std::string& bytes) {
  return *Sha256({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

// The frame with its header rewritten to declare a window of 2^window_log bytes (and its content
// size in four bytes), its blocks unchanged: what a hostile publisher could send.
std::string WithWindow(const std::string& frame, int window_log) {
  const auto fhd = static_cast<std::uint8_t>(frame[4]);
  const bool single = (fhd >> 5) & 1;
  const int dict_bytes[] = {0, 1, 2, 4};
  const int size_bytes[] = {single ? 1 : 0, 2, 4, 8};
  const std::size_t header = 5 + (single ? 0 : 1) + dict_bytes[fhd & 3] + size_bytes[fhd >> 6];
  std::uint64_t size = 0;
  for (int i = size_bytes[fhd >> 6]; i > 0; --i) {
    size = size << 8 | static_cast<std::uint8_t>(frame[header - size_bytes[fhd >> 6] + i - 1]);
  }
  if ((fhd >> 6) == 1) size += 256;
  std::string rewritten = frame.substr(0, 4);
  rewritten += static_cast<char>(2 << 6 | (fhd & 4));
  rewritten += static_cast<char>((window_log - 10) << 3);
  for (int i = 0; i < 4; ++i) rewritten += static_cast<char>(size >> (8 * i));
  return rewritten + frame.substr(header);
}

TEST(Patch, AppliesOnlyToItsBaseAndRefusesWhatIsNotItsFrame) {
  const test::TempDir dir;
  std::string base = Noise(300000, 1);
  std::string result = base;
  result.replace(1000, 64, Noise(64, 2));
  result.insert(150000, Noise(5000, 3));
  result.erase(250000, 700);
  const std::string base_path = dir.Write("base.dll", base);
  const std::string result_path = dir.Write("new.dll", result);
  const std::string patch_path = dir.PathOf("new.dll.patch");
  ASSERT_EQ(MakePatch(base_path, result_path, patch_path), "");
  const std::string patch = test::ReadWholeFile(patch_path);
  EXPECT_LT(patch.size(), 12000u);
  const int bound = PatchWindowLog(base.size(), result.size());

  std::string other_base = base;
  other_base[200000] ^= 0x55;
  struct Row {
    const char* what;
    std::string base;
    std::string patch;
    std::uint64_t size;
    PatchResult expected;
  } rows[] = {
      {"round trip", base, patch, result.size(), PatchResult::kApplied},
      {"another base of the same size", other_base, patch, result.size(),
       PatchResult::kWrongResult},
      {"a window over the bound", base, WithWindow(patch, bound + 1), result.size(),
       PatchResult::kRefused},
      {"a window within the bound, rewritten", base, WithWindow(patch, bound), result.size(),
       PatchResult::kApplied},
      {"a size other than the expected", base, patch, result.size() - 1, PatchResult::kRefused},
      {"cut short", base, patch.substr(0, patch.size() - 100), result.size(),
       PatchResult::kDecodeFailed},
      {"bytes after the frame", base, patch + "x", result.size(), PatchResult::kRefused},
      {"garbage", base, Noise(4000, 4), result.size(), PatchResult::kRefused},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string row_base = dir.Write("row-base.dll", row.base);
    const std::string row_patch = dir.Write("row.patch", row.patch);
    const std::string output = dir.PathOf("out.dll");
    std::filesystem::remove(output);
    EXPECT_EQ(ApplyPatch(row_base, row_patch, output, row.size, DigestOf(result)), row.expected);
    if (row.expected == PatchResult::kApplied) {
      EXPECT_EQ(test::ReadWholeFile(output), result);
    } else {
      EXPECT_FALSE(std::filesystem::exists(output));
    }
  }

  // The output must be a new file: an existing one (the target, say) is left as it is.
  const std::string existing = dir.Write("existing.dll", "installed");
  EXPECT_EQ(ApplyPatch(base_path, patch_path, existing, result.size(), DigestOf(result)),
            PatchResult::kCannotWrite);
  EXPECT_EQ(test::ReadWholeFile(existing), "installed");

  // Made on the build host by zstd's own tool ("zstd --patch-from").
  const std::string fixtures = test::BuildFolderFile("patch-fixtures/");
  const std::string made_by_zstd = test::ReadWholeFile(fixtures + "new.bin");
  EXPECT_EQ(ApplyPatch(fixtures + "old.bin", fixtures + "new.bin.zst", dir.PathOf("zstd.out"),
                       made_by_zstd.size(), DigestOf(made_by_zstd)),
            PatchResult::kApplied);
  EXPECT_EQ(test::ReadWholeFile(dir.PathOf("zstd.out")), made_by_zstd);
}

}  // namespace
}  // namespace zarn::platform
