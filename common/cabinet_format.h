// The fixed sizes, flags and codes of the cabinet file format, shared by the directory check, the
// POSIX decompressor and the tests' cabinet writer so that each reads the format the same way.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarn::cabinet_format {

// The fixed part of the header ("MSCF" ... the set and cabinet numbers).
inline constexpr std::size_t kHeaderSize = 36;
// A folder entry: first data block's offset, block count, compression type.
inline constexpr std::size_t kFolderEntrySize = 8;
// A file entry without its name: size, offset in the folder, folder index, date, time, attributes.
inline constexpr std::size_t kFileEntrySize = 16;
// A data block's header: checksum, packed size, unpacked size.
inline constexpr std::size_t kDataHeaderSize = 8;
// The bytes a data block unpacks to at most.
inline constexpr std::uint32_t kMaxBlockSize = 32768;

// Header flags.
inline constexpr std::uint16_t kFlagPrevious = 0x0001;  // continues a previous cabinet
inline constexpr std::uint16_t kFlagNext = 0x0002;      // continues into a next cabinet
inline constexpr std::uint16_t kFlagReserve = 0x0004;   // reserved fields follow the header

// The low four bits of a folder's compression type.
inline constexpr std::uint16_t kMethodMask = 0x000f;
inline constexpr std::uint16_t kMethodMszip = 1;

}  // namespace zarn::cabinet_format
