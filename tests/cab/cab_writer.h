// A small cabinet writer for tests: stored (uncompressed) data, any names, dates and attributes,
// so that tests can make the cabinets that real tools refuse to make (hostile names, odd dates).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::testing {

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

// The offset of the first data block's data in a cabinet without reserved space.
std::size_t FirstDataOffset(const std::string& cabinet);

}  // namespace zarn::testing
