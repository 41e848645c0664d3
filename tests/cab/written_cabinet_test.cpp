// Extraction of cabinets made by the test's own writer: several folders, stored attributes, odd
// dates, hostile names and damaged data.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cab/cabfiles.h"
#include "platform/file_times.h"
#include "platform/files.h"
#include "tests/cab/cab_files.h"
#include "tests/cab/cab_writer.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using test::BuildCabinet;
using test::CabEntry;
using test::CabFixture;
using test::FolderLayout;
using test::ListTree;
using test::ReadWholeFile;
using test::TempDir;
using test::WriteBytes;

// A scratch folder holding a cabinet ("in.cab") and the extraction's target ("target").
struct Extraction {
  TempDir scratch;
  TCABFile cab;
  bool result = false;

  explicit Extraction(const std::string& cabinet_bytes) {
    WriteBytes(scratch.PathOf("in.cab"), cabinet_bytes);
    std::filesystem::create_directory(scratch.PathOf("target"));
    cab.CABFile = scratch.PathOf("in.cab");
    cab.TargetPath = scratch.PathOf("target");
    result = cab.ExtractAll();
  }
  std::string Target(const std::string& name) const { return scratch.PathOf("target/" + name); }
  std::string Tree() const { return ListTree(scratch.path().string()); }
};

TEST(WrittenCabinet, FilesInSeveralFoldersComeOutWhole) {
  for (const auto layout : {FolderLayout::kOneFolder, FolderLayout::kFolderPerFile}) {
    const std::string big(100000, 'x');
    Extraction run(BuildCabinet({{"a.txt", "first"}, {"b.bin", big}, {"c.txt", "third"}}, layout));
    ASSERT_TRUE(run.result);
    EXPECT_EQ(ReadWholeFile(run.Target("a.txt")), "first");
    EXPECT_EQ(ReadWholeFile(run.Target("b.bin")), big);
    EXPECT_EQ(ReadWholeFile(run.Target("c.txt")), "third");
  }
}

TEST(WrittenCabinet, StoredAttributesAreNotApplied) {
  CabEntry entry{"locked.txt", "data"};
  entry.attributes = 0x01 | 0x02 | 0x04 | 0x20;  // read-only, hidden, system, archive
  Extraction run(BuildCabinet({entry}));
  ASSERT_TRUE(run.result);
  const auto perms = std::filesystem::status(run.Target("locked.txt")).permissions();
  EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
}

TEST(WrittenCabinet, StoredDateAndTimeBecomeTheLastWriteTimeAsUtc) {
  struct Case {
    std::uint16_t date, time;
    std::int64_t expected;
  };
  const std::vector<Case> cases = {
      {(0 << 9) | (1 << 5) | 1, 0, 315532800},                              // 1980-01-01 00:00:00
      {(20 << 9) | (2 << 5) | 29, (23 << 11) | (59 << 5) | 29, 951868798},  // 2000-02-29 23:59:58
      {(44 << 9) | (12 << 5) | 31, (12 << 11), 1735646400},                 // 2024-12-31 12:00:00
  };
  for (const auto& c : cases) {
    CabEntry entry{"dated.txt", "x"};
    entry.date = c.date;
    entry.time = c.time;
    Extraction run(BuildCabinet({entry}));
    ASSERT_TRUE(run.result);
    EXPECT_EQ(platform::LastWriteTimeSeconds(run.Target("dated.txt")), c.expected) << c.expected;
  }
}

// Names that must never be written: each sits between two harmless files, which are still
// extracted, and the extraction reports failure.
TEST(WrittenCabinet, HostileNamesAreRefusedAndNothingLandsOutsideTheTarget) {
  const std::vector<std::string> hostile = {
      "..\\escaped.txt",
      "../escaped.txt",
      "sub\\..\\..\\escaped.txt",
      "sub\\..\\inside.txt",
      "\\escaped.txt",
      "/escaped.txt",
      "C:escaped.txt",
      "C:\\escaped.txt",
      "\\\\server\\share\\escaped.txt",
      "..",
      ".",
      "..\\",
      "sub\\\\double.txt",
      "trailing.",
      "sub\\.. \\escaped.txt",
      "NUL",
      "com1.txt",
      "Lpt9",
      "aux .log",
      "stream.txt:hidden",
  };
  for (const auto& name : hostile) {
    SCOPED_TRACE(name);
    Extraction run(BuildCabinet({{"before.txt", "1"}, {name, "evil"}, {"after.txt", "2"}}));
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.Tree(), "in.cab\ntarget\ntarget/after.txt\ntarget/before.txt\n");
  }
}

TEST(WrittenCabinet, AbsoluteNameOfAPlaceOutsideIsRefused) {
  TempDir outside;
  const std::string name = outside.PathOf("escaped.txt");
  Extraction run(BuildCabinet({{name, "evil"}}));
  EXPECT_FALSE(run.result);
  EXPECT_EQ(ListTree(outside.path().string()), "");
}

TEST(WrittenCabinet, LinksInsideTheTargetAreNotFollowed) {
  TempDir outside;
  WriteBytes(outside.PathOf("victim.txt"), "keep me");
  struct Case {
    std::string label, link, points_to, stored;
  };
  const std::vector<Case> cases = {
      {"folder link", "out", outside.path().string(), "out\\escaped.txt"},
      {"file link", "hello.txt", outside.PathOf("victim.txt"), "hello.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir scratch;
    const std::string cabinet = scratch.PathOf("in.cab");
    WriteBytes(cabinet, BuildCabinet({{c.stored, "evil"}}));
    std::error_code error;
    std::filesystem::create_symlink(c.points_to, scratch.PathOf("target/" + c.link), error);
    if (error) {
      std::filesystem::create_directory(scratch.PathOf("target"));
      std::filesystem::create_symlink(c.points_to, scratch.PathOf("target/" + c.link), error);
    }
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    TCABFile cab;
    cab.CABFile = cabinet;
    cab.TargetPath = scratch.PathOf("target");
    EXPECT_FALSE(cab.ExtractAll());
    EXPECT_EQ(ListTree(outside.path().string()), "victim.txt\n");
    EXPECT_EQ(ReadWholeFile(outside.PathOf("victim.txt")), "keep me");
  }
}

// MSZIP blocks refer back into the output of the blocks before them, up to 32 KiB, also across
// blocks shorter than 32 KiB. Cabinet writers make every block but a folder's last one 32 KiB
// long, and cabinet libraries differ on short blocks in the middle (Wine's keeps only the block
// before as history), so this holds the POSIX reader to deflate's sliding window only.
TEST(WrittenCabinet, MszipHistoryReachesAcrossShortBlocks) {
  if (platform::PathDelimiter() != '/') GTEST_SKIP() << "the platform's library decides";
  struct Case {
    std::string label;
    std::string first;
  };
  const std::vector<Case> cases = {
      {"short first block",
       "The first block of the folder, followed by a very short one. " + std::string(40, '-')},
      {"full first block",
       std::string(32768, '=').replace(32768 - 50, 22, "history across blocks!")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string second = "0123456789";
    // 20 bytes copied from 60 back: 50 of them lie before the short second block.
    const std::string stream = c.first + second;
    const std::string copied = stream.substr(stream.size() - 60, 20);
    test::FolderData folder;
    folder.compression = 1;
    folder.blocks = {test::MszipStoredBlock(c.first), test::MszipStoredBlock(second),
                     test::MszipCopyBlock(20, 60)};
    const auto first_size = static_cast<std::uint32_t>(c.first.size());
    Extraction run(
        test::BuildCabinetFromBlocks({{"one.bin", ""}, {"two.bin", ""}}, {first_size, 30}, folder));
    ASSERT_TRUE(run.result);
    EXPECT_EQ(ReadWholeFile(run.Target("one.bin")), c.first);
    EXPECT_EQ(ReadWholeFile(run.Target("two.bin")), second + copied);
  }
}

// A folder's stream can only be unpacked from its start, but the file list may name its files in
// any order: a file that lies before the one just written starts the folder again, one inside
// the block still unpacked is taken from there, and the block after it still has its history.
TEST(WrittenCabinet, FilesListedOutOfStreamOrderComeOutWhole) {
  auto pattern = [](std::size_t size, int step) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * step) % 26);
    return bytes;
  };
  // Two full blocks, then a block that copies 20 bytes from 60 back, out of the second block.
  const std::string full = pattern(32768, 7) + pattern(32768, 11);
  const std::string stream = full + full.substr(full.size() - 60, 20);
  test::FolderData folder;
  folder.compression = 1;
  folder.blocks = {test::MszipStoredBlock(full.substr(0, 32768)),
                   test::MszipStoredBlock(full.substr(32768)), test::MszipCopyBlock(20, 60)};
  struct Piece {
    std::string name;
    std::uint32_t offset, size;
  };
  const std::vector<Piece> pieces = {{"head.bin", 0, 40000},
                                     {"mid1.bin", 40000, 10000},
                                     {"mid2.bin", 50000, 15000},
                                     {"tail.bin", 65000, 556}};  // to the end of the third block
  const std::vector<std::vector<std::size_t>> orders = {
      {3, 2, 1, 0},  // reversed
      {2, 0, 1, 3},  // an earlier file, then on past the later one into the last block
  };
  for (const auto& order : orders) {
    std::vector<CabEntry> entries;
    std::vector<std::uint32_t> sizes, offsets;
    std::string listed;
    for (const auto index : order) {
      entries.push_back({pieces[index].name, ""});
      sizes.push_back(pieces[index].size);
      offsets.push_back(pieces[index].offset);
      listed += pieces[index].name + " ";
    }
    SCOPED_TRACE(listed);
    Extraction run(test::BuildCabinetAt(entries, sizes, offsets, folder));
    ASSERT_TRUE(run.result);
    for (const auto& piece : pieces) {
      EXPECT_EQ(ReadWholeFile(run.Target(piece.name)), stream.substr(piece.offset, piece.size))
          << piece.name;
    }
  }
}

// Damaged cabinets fail, and the file whose data was damaged is not left half-written.
TEST(DamagedCabinet, FailsAndLeavesNoHalfWrittenFile) {
  const std::string many = ReadWholeFile(CabFixture("many_zip.cab"));
  const std::string big = ReadWholeFile(CabFixture("big_zip.cab"));
  const std::size_t many_data = test::FirstDataOffset(many);
  const std::size_t big_data = test::FirstDataOffset(big);
  auto flipped = [](std::string bytes, std::size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
    return bytes;
  };
  struct Case {
    std::string label;
    std::string bytes;
    std::string tree;  // of the target afterwards
  };
  const std::vector<Case> cases = {
      {"empty file", "", ""},
      {"header only", many.substr(0, 36), ""},
      {"cut inside the file list", many.substr(0, 100), ""},
      {"cut inside the data", big.substr(0, big.size() / 2), ""},
      {"last byte missing", big.substr(0, big.size() - 1), ""},
      {"flipped byte in the first block", flipped(many, many_data + 40), ""},
      {"flipped byte in a middle block", flipped(big, big.size() / 2), ""},
      {"flipped checksum", flipped(big, big_data - 8), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Extraction run(c.bytes);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(ListTree(run.scratch.PathOf("target")), c.tree);
  }
}

TEST(DamagedCabinet, FileLongerThanItsFolderFails) {
  std::string cabinet = BuildCabinet({{"short.txt", "only a little data"}});
  // The file's stored length sits at the start of its entry, after the header and one folder.
  cabinet[36 + 8] = 0x7f;
  Extraction run(cabinet);
  EXPECT_FALSE(run.result);
  EXPECT_EQ(ListTree(run.scratch.PathOf("target")), "");
}

}  // namespace
}  // namespace zarn
