// Cabinets made to write far more than they hold: refused before anything is written, and fast.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cab/cabfiles.h"
#include "tests/cab/cab_writer.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using test::CabEntry;

// `count` entries named f0, f1, ... over one folder of one stored 32 KiB block.
std::vector<CabEntry> Entries(std::size_t count) {
  std::vector<CabEntry> entries;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    CabEntry entry;
    entry.name = std::string("f").append(std::to_string(i));
    entries.push_back(std::move(entry));
  }
  return entries;
}

TEST(CabinetLimits, BombsAreRefusedBeforeAnythingIsWritten) {
  const test::FolderData one_block{{test::MszipStoredBlock(std::string(32768, 'x'))}, 1};
  const struct {
    const char* what;
    std::string cabinet;
    std::uint64_t limit;
    bool extracted;
  } cases[] = {
      {"many entries over one stream",
       test::BuildCabinetAt(Entries(20000), std::vector<std::uint32_t>(20000, 32768),
                            std::vector<std::uint32_t>(20000, 0), one_block),
       TCABFile::kDefaultMaxExtractedBytes, false},
      {"entries that overlap by a byte",
       test::BuildCabinetAt(Entries(2), {1000, 1000}, {0, 999}, one_block),
       TCABFile::kDefaultMaxExtractedBytes, false},
      {"a declared size far past the folder's data",
       test::BuildCabinetAt(Entries(1), {0xF0000000u}, {0}, one_block),
       TCABFile::kDefaultMaxExtractedBytes, false},
      {"more bytes in all than the limit",
       test::BuildCabinetAt(Entries(2), {600, 600}, {0, 600}, one_block), 1000, false},
      {"the same cabinet within the limit",
       test::BuildCabinetAt(Entries(2), {600, 600}, {0, 600}, one_block), 1200, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir scratch;
    test::WriteBytes(scratch.PathOf("bomb.cab"), c.cabinet);
    std::filesystem::create_directory(scratch.PathOf("out"));
    TCABFile cab;
    cab.CABFile = scratch.PathOf("bomb.cab");
    cab.TargetPath = scratch.PathOf("out");
    cab.MaxExtractedBytes = c.limit;

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(cab.ExtractAll(), c.extracted);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::cout << c.what << ": " << c.cabinet.size() << " bytes, done in " << ms << " ms\n";
    EXPECT_EQ(std::filesystem::is_empty(scratch.PathOf("out")), !c.extracted);
  }
}

}  // namespace
}  // namespace zarn
