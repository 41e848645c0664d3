// Names in a manifest that lead to things other than regular files, and manifests too large to
// read: refused at once, never read without end and never waited on.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/profile.h"
#include "platform/version_info.h"
#include "tests/support/temp_dir.h"

namespace zarn::test {
namespace {

TEST(SpecialFiles, DevicesFifosAndHugeManifestsAreRefused) {
  TempDir dir;
  const std::string fifo = dir.PathOf("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = dir.Write("huge.ini", "[Ident]\r\nStamp=7\r\n");
  std::filesystem::resize_file(huge, (std::int64_t{64} << 20) + 1);
  for (const std::string& path : {std::string("/dev/zero"), fifo, huge}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(platform::VersionInfo::Load(path), nullptr);
    EXPECT_EQ(platform::ReadProfileString(path, "Ident", "Stamp", "none", 64), "none");
  }
}

TEST(SpecialFiles, ARewrittenManifestIsReadAgain) {
  TempDir dir;
  const std::string path = dir.Write("z4up.ini", "[Ident]\r\nStamp=1\r\n");
  EXPECT_EQ(platform::ReadProfileString(path, "Ident", "Stamp", "", 64), "1");
  dir.Write("z4up.ini", "[Ident]\r\nStamp=22\r\n");
  EXPECT_EQ(platform::ReadProfileString(path, "Ident", "Stamp", "", 64), "22");
}

}  // namespace
}  // namespace zarn::test
