#include "app/update_manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using namespace std::string_view_literals;
using Names = std::vector<std::string>;

TEST(UpdateManifest, TimeOfUpdateIsMinusOneUnlessAWholeNumber) {
  test::TempDir folder;
  const struct {
    const char* ident;
    std::int32_t expected;
  } cases[] = {
      {"[Ident]\r\nTime Of Update=1733580000\r\n", 1733580000},
      {"[ident]\r\ntime of update = $1F \r\n", 31},
      {"[Ident]\r\nTime Of Update=0x10\r\n", 16},
      {"[Ident]\r\nTime Of Update=\"77\"\r\n", 77},
      {"[Ident]\r\nTime Of Update=-5\r\n", -5},
      {"[Ident]\r\nTime Of Update=12a\r\n", -1},
      {"[Ident]\r\nTime Of Update=\r\n", -1},
      {"[Ident]\r\nTime Of Update=4294967296\r\n", -1},
      {"[Ident]\r\nTimeOfUpdate=5\r\n", -1},  // missing key: the default "ERROR"
      {"[Files]\r\nTime Of Update=5\r\n", -1},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ident);
    const UpdateManifest manifest(folder.Write("z4up" + std::to_string(n++) + ".ini", c.ident));
    EXPECT_EQ(manifest.TimeOfUpdate(), c.expected);
  }
}

TEST(UpdateManifest, ReadsValuesWithTheErrorDefaultAndThe2047CharacterCut) {
  test::TempDir folder;
  const std::string long_value(3000, 'v');
  const UpdateManifest manifest(folder.Write(
      "z4up.ini", "[Files]\r\nzarn4.exe = 4.1.0.7 \r\nlong=" + long_value +
                      "\r\n[Cabs]\r\nZARN4.EXE=zarn4.cab\r\n[Registration]\r\nz4.dll=true\r\n"));
  EXPECT_EQ(manifest.ReadString(kManifestFiles, "ZARN4.exe"), "4.1.0.7");
  EXPECT_EQ(manifest.ReadString(kManifestCabs, "zarn4.exe"), "zarn4.cab");
  EXPECT_EQ(manifest.ReadString(kManifestCabs, "other.exe"), "ERROR");
  EXPECT_EQ(manifest.ReadString(kManifestRegistration, "z4.dll"), "true");
  EXPECT_EQ(manifest.ReadString(kManifestFiles, "long"), std::string(2047, 'v'));
  EXPECT_EQ(UpdateManifest(folder.PathOf("absent.ini")).ReadString(kManifestFiles, "a"), "ERROR");
}

TEST(UpdateManifest, KeyListKeepsFileOrderAndDropsWhatTheBufferCut) {
  test::TempDir folder;
  const UpdateManifest manifest(
      folder.Write("z4up.ini",
                   "[Files]\r\nzarn4.exe=1\r\n;old.exe=1\r\nA.dll=2\r\n=3\r\nb.ocx=4\r\n"
                   "zarn4.exe=5\r\n[Cabs]\r\nzarn4.exe=z.cab\r\n"));
  EXPECT_EQ(manifest.ReadSectionKeys(kManifestFiles),
            (Names{"zarn4.exe", "A.dll", "b.ocx", "zarn4.exe"}));
  EXPECT_EQ(manifest.ReadSectionKeys("Missing"), Names{});

  // 1000 names of 19 characters and a zero fill 20000 characters: the list is cut at 16382, in
  // the middle of name 820, which is left out.
  std::string many = "[Files]\r\n";
  Names expected;
  for (int i = 0; i < 1000; ++i) {
    std::string name = "file" + std::to_string(100000 + i) + "-long.exe";
    many += name + "=1\r\n";
    if (i < 819) expected.push_back(name);
  }
  const UpdateManifest big(folder.Write("big.ini", many));
  EXPECT_EQ(big.ReadSectionKeys(kManifestFiles), expected);
}

TEST(UpdateManifest, SplitKeyBlockSkipsEmptyNamesAndAnUnfinishedLastName) {
  const struct {
    std::string_view block;
    Names expected;
  } cases[] = {
      {""sv, {}},
      {"a\0"sv, {"a"}},
      {"a\0bc\0"sv, {"a", "bc"}},
      {"a\0\0bc\0"sv, {"a", "bc"}},
      {"a\0bc"sv, {"a"}},
      {"abc"sv, {}},
      {"\0\0"sv, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitKeyBlock(c.block), c.expected) << c.block.size();
  }
}

}  // namespace
}  // namespace zarn
