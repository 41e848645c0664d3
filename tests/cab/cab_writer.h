// A small cabinet writer for tests: stored (uncompressed) data, any names, dates and attributes,
// so that tests can make the cabinets that real tools refuse to make (hostile names, odd dates).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::test {

struct CabEntry {
  std::string name;  // as stored, "\" between folders
  std::string data;
  std::uint16_t date = (39 << 9) | (5 << 5) | 17;    // 2019-05-17
  std::uint16_t time = (13 << 11) | (45 << 5) | 15;  // 13:45:30
  std::uint16_t attributes = 0x20;
};

enum class FolderLayout { kOneFolder, kFolderPerFile };

// The bytes of a cabinet holding the entries in order. Data blocks carry no checksum.
std::string BuildCabinet(const std::vector<CabEntry>& entries,
                         FolderLayout layout = FolderLayout::kOneFolder);

// A data block as stored: its packed bytes and the size they unpack to.
struct DataBlock {
  std::string packed;
  std::uint16_t unpacked = 0;
};

struct FolderData {
  std::vector<DataBlock> blocks;
  std::uint16_t compression = 0;  // 0 stored, 1 MSZIP
};

// A cabinet of one folder made of the given blocks; the files follow each other in its stream,
// with the sizes given.
std::string BuildCabinetFromBlocks(const std::vector<CabEntry>& entries,
                                   const std::vector<std::uint32_t>& sizes,
                                   const FolderData& folder);

// A cabinet of one folder whose files sit at the given offsets of its stream, with the given
// sizes, overlapping or reaching past the stream as the test likes.
std::string BuildCabinetAt(const std::vector<CabEntry>& entries,
                           const std::vector<std::uint32_t>& sizes,
                           const std::vector<std::uint32_t>& offsets, const FolderData& folder);

// MSZIP blocks: the data stored as it is, and a block of one back-reference (length 19 to 22,
// distance 49 to 64) into the output before it.
DataBlock MszipStoredBlock(const std::string& data);
DataBlock MszipCopyBlock(unsigned length, unsigned distance);

// The offset of the first data block's data in a cabinet without reserved space.
std::size_t FirstDataOffset(const std::string& cabinet);

}  // namespace zarn::test
