// A look at a cabinet's directory before anything is extracted: the header, the folders and the
// file entries. A cabinet is refused when its entries could make a few kilobytes write gigabytes
// or decompress the same data over and over: entries that overlap in their folder's stream,
// entries that reach past what the folder's data blocks can hold, or more bytes in all than one
// extraction may write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/cabinet_format.h"

namespace zarn {

enum class CabinetDirectoryVerdict {
  kSound,
  kDamaged,       // the directory is cut short or names a folder that does not exist
  kOverlapping,   // two file entries share bytes of one folder's stream
  kBeyondFolder,  // an entry ends past the most that the folder's data blocks unpack to
  kTooLarge,      // the entries add up to more than the limit
};

// Judges the directory at the start of a cabinet file. `head` holds the file's first bytes: at
// least up to the end of its file entries (CabinetDirectoryLength tells how many are needed).
CabinetDirectoryVerdict CheckCabinetDirectory(std::string_view head, std::uint64_t max_total_bytes);

// How many bytes from the start a cabinet's directory may take, judged from its header (the first
// cabinet_format::kHeaderSize bytes); 0 when the header is no cabinet header.
std::uint64_t CabinetDirectoryLength(std::string_view header);

}  // namespace zarn
