// File streams: sizes and positions beyond 2 GiB, cutting, and what a created file lets others do.
#include <gtest/gtest.h>

#include <filesystem>

#include "net/net_exceptions.h"
#include "net/streams.h"
#include "tests/support/temp_dir.h"

namespace zarn::test {
namespace {

TEST(FileStream, SizesAndPositionsBeyondTwoGiB) {
  TempDir dir;
  const std::string path = dir.PathOf("big.bin");
  constexpr std::int64_t kThreeGiB = std::int64_t{3} << 30;
  TFileStream file(path, TFileStream::Mode::kCreate);
  file.SetSize(kThreeGiB + 4);  // sparse where the file system allows
  EXPECT_EQ(file.Size(), kThreeGiB + 4);
  EXPECT_EQ(file.Position(), 0);
  file.Seek(kThreeGiB);
  file.Write("tail", 4);
  EXPECT_EQ(file.Position(), kThreeGiB + 4);
  file.Seek(kThreeGiB);
  char tail[5] = {};
  EXPECT_EQ(file.Read(tail, 5), 4u);
  EXPECT_STREQ(tail, "tail");
  file.SetSize(kThreeGiB);  // the position lay beyond the new end and moves back to it
  EXPECT_EQ(file.Position(), kThreeGiB);
  file.SetSize(2);
  file.Close();
  EXPECT_EQ(std::filesystem::file_size(path), 2u);
}

TEST(FileStream, ACreatedFileIsNotSharedAndNoLinkIsFollowed) {
  TempDir dir;
  const std::string path = dir.Write("open.bin", "kept");
  TFileStream file(path, TFileStream::Mode::kCreate);
#ifdef _WIN32
  // Open for exclusive reading and writing: no one else may open it meanwhile.
  EXPECT_THROW(TFileStream(path, TFileStream::Mode::kOpenRead), EFOpenError);
#else
  const std::string target = dir.Write("target.bin", "untouched");
  const std::string link = dir.PathOf("link.bin");
  std::filesystem::create_symlink(target, link);
  EXPECT_THROW(TFileStream(link, TFileStream::Mode::kCreate), EFCreateError);
  EXPECT_THROW(TFileStream(link, TFileStream::Mode::kOpenRead), EFOpenError);
  EXPECT_EQ(std::filesystem::file_size(target), 9u);
#endif
}

}  // namespace
}  // namespace zarn::test
