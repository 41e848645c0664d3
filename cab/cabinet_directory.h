// A look at a cabinet's directory before anything is extracted: the header, the folders and the
// file entries. A cabinet is refused when its entries could make a few kilobytes write gigabytes
// or decompress the same data over and over: entries that overlap in their folder's stream,
// entries that reach past what the folder's data blocks can hold, or more bytes in all than one
// extraction may write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zarn {

enum class CabinetDirectoryVerdict {
  kSound,
  kDamaged,       // the directory is cut short or names a folder that does not exist
  kOverlapping,   // two file entries share bytes of one folder's stream
  kBeyondFolder,  // an entry ends past the most that the folder's data blocks unpack to
  kTooLarge,      // the entries add up to more than the limit
};

// The fixed part of a cabinet's header.
inline constexpr std::size_t kCabinetHeaderSize = 36;
// The bytes a data block unpacks to at most.
inline constexpr std::uint32_t kMaxCabinetBlockSize = 32768;

// Judges the directory at the start of a cabinet file. `head` holds the file's first bytes: at
// least up to the end of its file entries (CabinetDirectoryLength tells how many are needed).
CabinetDirectoryVerdict CheckCabinetDirectory(std::string_view head, std::uint64_t max_total_bytes);

// How many bytes from the start a cabinet's directory may take, judged from its header (the first
// kCabinetHeaderSize bytes); 0 when the header is no cabinet header.
std::uint64_t CabinetDirectoryLength(std::string_view header);

}  // namespace zarn
