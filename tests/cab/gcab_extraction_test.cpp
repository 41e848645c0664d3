// Extraction of cabinets made by gcab: bytes, stored times, folders, replacing, progress, and the
// cases that must fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cab/cabfiles.h"
#include "platform/file_times.h"
#include "tests/cab/cab_files.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using test::CabFixture;
using test::ListTree;
using test::ReadWholeFile;
using test::TempDir;
using test::WriteBytes;

constexpr std::int64_t kStoredTime = 1558100730;    // 2019-05-17 13:45:30 read as UTC
constexpr std::int64_t kOddSecondTime = 981173106;  // 2001-02-03 04:05:06, the source had :07

struct ExpectedFile {
  std::string path;    // below the target, "/" between levels
  std::string source;  // below the fixture folder
  std::int64_t time = kStoredTime;
};

struct GcabCase {
  std::string label;
  std::string cabinet;
  std::vector<ExpectedFile> files;
};

std::vector<ExpectedFile> ManyFiles() {
  std::vector<ExpectedFile> files;
  for (int i = 1; i <= 12; ++i) {
    const std::string name = (i < 10 ? "file0" : "file") + std::to_string(i) + ".txt";
    files.push_back({name, "src/" + name, i == 7 ? kOddSecondTime : kStoredTime});
  }
  files.push_back({"empty.dat", "src/empty.dat"});
  return files;
}

std::string Tree(const std::vector<ExpectedFile>& files) {
  std::vector<std::string> names;
  for (const auto& file : files) {
    std::string path = file.path;
    for (auto slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
      names.push_back(path.substr(0, slash));
    }
    names.push_back(path);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::string tree;
  for (const auto& name : names) tree += name + "\n";
  return tree;
}

void ExpectExtracted(const TempDir& target, const std::vector<ExpectedFile>& files) {
  for (const auto& file : files) {
    SCOPED_TRACE(file.path);
    EXPECT_EQ(ReadWholeFile(target.PathOf(file.path)), ReadWholeFile(CabFixture(file.source)));
    EXPECT_EQ(platform::LastWriteTimeSeconds(target.PathOf(file.path)), file.time);
  }
  EXPECT_EQ(ListTree(target.path().string()), Tree(files));
}

class GcabExtraction : public ::testing::TestWithParam<GcabCase> {};

TEST_P(GcabExtraction, WritesEveryFileWithItsBytesAndStoredTime) {
  TempDir target;
  TCABFile cab;
  cab.CABFile = CabFixture(GetParam().cabinet);
  cab.TargetPath = target.path().string();
  ASSERT_TRUE(cab.ExtractAll());
  ExpectExtracted(target, GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    Cabinets, GcabExtraction,
    ::testing::Values(GcabCase{"OneFile", "one.cab", {{"hello.txt", "src/hello.txt"}}},
                      GcabCase{"ManyFilesStored", "many.cab", ManyFiles()},
                      GcabCase{"ManyFilesMszip", "many_zip.cab", ManyFiles()},
                      GcabCase{"BigFileManyBlocks", "big_zip.cab", {{"big.bin", "src/big.bin"}}},
                      GcabCase{"OneFolderLevel",
                               "subfolder.cab",
                               {{"sub/inner.txt", "src/sub/inner.txt"},
                                {"hello.txt", "src/hello.txt"}}}),
    [](const auto& test_case) { return test_case.param.label; });

TEST(CabExtraction, TargetPathWithOrWithoutTrailingDelimiter) {
  for (const std::string ending : {"", "/"}) {
    TempDir target;
    TCABFile cab;
    cab.CABFile = CabFixture("subfolder.cab");
    cab.TargetPath =
        std::filesystem::path(target.path().string() + ending).make_preferred().string();
    EXPECT_TRUE(cab.ExtractAll()) << "ending '" << ending << "'";
    EXPECT_EQ(ReadWholeFile(target.PathOf("sub/inner.txt")), "one folder level down\n");
  }
}

TEST(CabExtraction, MissingTargetFolderIsCreatedOneLevelDeep) {
  TempDir scratch;
  TCABFile cab;
  cab.CABFile = CabFixture("one.cab");
  cab.TargetPath = scratch.PathOf("new");
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_EQ(ListTree(scratch.path().string()), "new\nnew/hello.txt\n");
}

TEST(CabExtraction, RepeatedExtractionRestoresTheSameFilesAndTimes) {
  TempDir target;
  TCABFile cab;
  cab.CABFile = CabFixture("many_zip.cab");
  cab.TargetPath = target.path().string();
  ASSERT_TRUE(cab.ExtractAll());
  WriteBytes(target.PathOf("file03.txt"), "changed in between");
  ASSERT_TRUE(cab.ExtractAll());
  ExpectExtracted(target, ManyFiles());
}

TEST(CabExtraction, ExistingFilesAreReplacedOrKeptAsTheOverwriteHandlerSays) {
  struct Case {
    std::string label;
    bool has_handler;
    bool allow;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no handler replaces", false, true, "Hello from the cabinet.\r\n"},
      {"handler allows", true, true, "Hello from the cabinet.\r\n"},
      {"handler refuses", true, false, "old copy"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir target;
    WriteBytes(target.PathOf("hello.txt"), "old copy");
    TCABFile cab;
    cab.CABFile = CabFixture("one.cab");
    cab.TargetPath = target.path().string();
    std::vector<std::string> asked;
    if (c.has_handler) {
      cab.OnOverWriteFile = [&](TCABFile& sender, const std::string& name, bool& allow) {
        EXPECT_EQ(&sender, &cab);
        asked.push_back(name);
        allow = c.allow;
      };
    }
    EXPECT_TRUE(cab.ExtractAll());  // a refused file is no failure
    EXPECT_EQ(ReadWholeFile(target.PathOf("hello.txt")), c.expected);
    if (c.has_handler) {
      EXPECT_EQ(asked, std::vector<std::string>{target.PathOf("hello.txt")});
    }
  }
}

TEST(CabExtraction, OverwriteHandlerIsNotAskedForNewFiles) {
  TempDir target;
  TCABFile cab;
  cab.CABFile = CabFixture("many.cab");
  cab.TargetPath = target.path().string();
  int asked = 0;
  cab.OnOverWriteFile = [&](TCABFile&, const std::string&, bool&) { ++asked; };
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_EQ(asked, 0);
}

TEST(CabExtraction, ProgressCountsUpToTheStoredSizeOfEachFile) {
  TempDir target;
  TCABFile cab;
  cab.CABFile = CabFixture("big_zip.cab");
  cab.TargetPath = target.path().string();
  std::vector<int> positions;
  cab.OnDecompressProgress = [&](TCABFile& sender, const std::string& name, int pos, int tot) {
    EXPECT_EQ(&sender, &cab);
    EXPECT_EQ(name, "big.bin");
    EXPECT_EQ(tot, 3 * 1024 * 1024);
    positions.push_back(pos);
  };
  ASSERT_TRUE(cab.ExtractAll());
  ASSERT_GT(positions.size(), 10u);  // one event per write, many blocks
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_EQ(positions.back(), 3 * 1024 * 1024);
}

TEST(CabExtraction, FailsWithoutWritingAnything) {
  struct Case {
    std::string label;
    std::string cabinet;
  };
  const std::vector<Case> cases = {
      {"not a cabinet", CabFixture("notacab.cab")},
      {"missing file", CabFixture("no-such.cab")},
      {"empty name", ""},
      {"a folder", CabFixture("src")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir target;
    TCABFile cab;
    cab.CABFile = c.cabinet;
    cab.TargetPath = target.path().string();
    EXPECT_FALSE(cab.ExtractAll());
    EXPECT_EQ(ListTree(target.path().string()), "");
  }
}

TEST(CabExtraction, TwoMissingFolderLevelsFailAfterTheEarlierFiles) {
  TempDir target;
  TCABFile cab;
  cab.CABFile = CabFixture("two_levels.cab");
  cab.TargetPath = target.path().string();
  EXPECT_FALSE(cab.ExtractAll());
  EXPECT_EQ(ListTree(target.path().string()), "hello.txt\n");
}

// Runs a body with the process's current folder set to a scratch folder.
class InScratchFolder : public ::testing::Test {
 protected:
  InScratchFolder() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(scratch_.path().string());
  }
  ~InScratchFolder() override { std::filesystem::current_path(previous_); }

  TempDir scratch_;

 private:
  std::filesystem::path previous_;
};

TEST_F(InScratchFolder, EmptyTargetPathWritesBelowTheCurrentFolder) {
  TCABFile cab;
  cab.CABFile = CabFixture("subfolder.cab");
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_EQ(ListTree(scratch_.path().string()), "hello.txt\nsub\nsub/inner.txt\n");
}

TEST_F(InScratchFolder, RelativeCabinetNameIsFoundInTheCurrentFolder) {
  WriteBytes(scratch_.PathOf("copy.cab"), ReadWholeFile(CabFixture("one.cab")));
  TCABFile cab;
  cab.CABFile = "copy.cab";
  cab.TargetPath = "out";
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_EQ(ReadWholeFile(scratch_.PathOf("out/hello.txt")), "Hello from the cabinet.\r\n");
}

TEST(CabListing, ListsStoredNamesSizesAndDatesWithoutWriting) {
  TempDir target;
  TCABFile cab;
  cab.CABFile = CabFixture("subfolder.cab");
  cab.TargetPath = target.path().string();
  ASSERT_TRUE(cab.ListContents());
  const auto& items = cab.CABFileContents.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Name, "inner.txt");
  EXPECT_EQ(items[0].RelPath, "sub");
  EXPECT_EQ(items[0].Size, 22);
  EXPECT_EQ(items[1].Name, "hello.txt");
  EXPECT_EQ(items[1].RelPath, "");
  const CivilDateTime date = DecodeDateTime(items[1].Date);
  EXPECT_EQ(date.year, 2019);
  EXPECT_EQ(date.month, 5);
  EXPECT_EQ(date.day, 17);
  EXPECT_EQ(date.hour, 13);
  EXPECT_EQ(date.minute, 45);
  EXPECT_EQ(date.second, 30);
  EXPECT_EQ(ListTree(target.path().string()), "");
  EXPECT_EQ(&cab.CABFileContents.Owner(), &cab);
}

TEST(CabComponent, StartsWithMszipAndAnEmptyContentList) {
  TCABFile cab;
  EXPECT_EQ(cab.CompressionType, TCompressionType::typMSZIP);
  EXPECT_EQ(cab.LZXMemory, TLZXMemory::lzxLowest);
  EXPECT_TRUE(cab.CABFileContents.Items().empty());
  EXPECT_TRUE(cab.CABFile.empty());
  EXPECT_TRUE(cab.TargetPath.empty());
}

}  // namespace
}  // namespace zarn
