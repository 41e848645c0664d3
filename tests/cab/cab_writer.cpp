#include "tests/cab/cab_writer.h"

#include <algorithm>

#include "common/cabinet_format.h"

namespace zarn::test {

namespace {

using namespace cabinet_format;

void Put16(std::string& out, std::size_t at, std::uint32_t value) {
  out[at] = static_cast<char>(value & 0xff);
  out[at + 1] = static_cast<char>((value >> 8) & 0xff);
}

void Put32(std::string& out, std::size_t at, std::uint32_t value) {
  Put16(out, at, value & 0xffff);
  Put16(out, at + 2, value >> 16);
}

void Append16(std::string& out, std::uint32_t value) {
  out.append(2, '\0');
  Put16(out, out.size() - 2, value);
}

void Append32(std::string& out, std::uint32_t value) {
  out.append(4, '\0');
  Put32(out, out.size() - 4, value);
}

std::uint32_t Get32(const std::string& in, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[at + i]);
  return value;
}

// The stored data blocks of one folder: the stream cut into blocks of at most 32 KiB (none for
// an empty stream).
FolderData StoredFolder(const std::string& stream) {
  FolderData folder;
  for (std::size_t at = 0; at < stream.size(); at += kMaxBlockSize) {
    const std::size_t size = std::min<std::size_t>(kMaxBlockSize, stream.size() - at);
    folder.blocks.push_back({stream.substr(at, size), static_cast<std::uint16_t>(size)});
  }
  return folder;
}

// A file's place: its folder and its offset in that folder's stream.
struct Place {
  std::uint16_t folder;
  std::uint32_t offset;
};

std::string Assemble(const std::vector<CabEntry>& entries, const std::vector<std::uint32_t>& sizes,
                     const std::vector<Place>& places, const std::vector<FolderData>& folders) {
  std::string files;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Append32(files, sizes[i]);
    Append32(files, places[i].offset);
    Append16(files, places[i].folder);
    Append16(files, entries[i].date);
    Append16(files, entries[i].time);
    Append16(files, entries[i].attributes);
    files += entries[i].name;
    files += '\0';
  }

  const std::size_t files_offset = kHeaderSize + kFolderEntrySize * folders.size();
  const std::size_t data_offset = files_offset + files.size();
  std::string folder_table;
  std::string data;
  for (const auto& folder : folders) {
    Append32(folder_table, static_cast<std::uint32_t>(data_offset + data.size()));
    Append16(folder_table, static_cast<std::uint32_t>(folder.blocks.size()));
    Append16(folder_table, folder.compression);
    for (const auto& block : folder.blocks) {
      Append32(data, 0);  // no checksum
      Append16(data, static_cast<std::uint32_t>(block.packed.size()));
      Append16(data, block.unpacked);
      data += block.packed;
    }
  }

  std::string cabinet(kHeaderSize, '\0');
  cabinet.replace(0, 4, "MSCF");
  Put32(cabinet, 8, static_cast<std::uint32_t>(data_offset + data.size()));
  Put32(cabinet, 16, static_cast<std::uint32_t>(files_offset));
  cabinet[24] = 3;  // version 1.3
  cabinet[25] = 1;
  Put16(cabinet, 26, static_cast<std::uint32_t>(folders.size()));
  Put16(cabinet, 28, static_cast<std::uint32_t>(entries.size()));
  Put16(cabinet, 32, 0x1234);  // set id
  return cabinet + folder_table + files + data;
}

// Writes deflate bits: values least significant bit first, Huffman codes most significant first.
class BitWriter {
 public:
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  void Bit(std::uint32_t bit) {
    if (used_ == 0) bytes_ += '\0';
    bytes_.back() = static_cast<char>(static_cast<unsigned char>(bytes_.back()) | (bit << used_));
    used_ = (used_ + 1) % 8;
  }
  std::string bytes_;
  int used_ = 0;
};

}  // namespace

std::string BuildCabinet(const std::vector<CabEntry>& entries, FolderLayout layout) {
  std::vector<std::string> streams;
  std::vector<Place> places;
  std::vector<std::uint32_t> sizes;
  for (const auto& entry : entries) {
    if (streams.empty() || layout == FolderLayout::kFolderPerFile) streams.emplace_back();
    places.push_back({static_cast<std::uint16_t>(streams.size() - 1),
                      static_cast<std::uint32_t>(streams.back().size())});
    sizes.push_back(static_cast<std::uint32_t>(entry.data.size()));
    streams.back() += entry.data;
  }
  if (streams.empty()) streams.emplace_back();
  std::vector<FolderData> folders;
  for (const auto& stream : streams) folders.push_back(StoredFolder(stream));
  return Assemble(entries, sizes, places, folders);
}

std::string BuildCabinetFromBlocks(const std::vector<CabEntry>& entries,
                                   const std::vector<std::uint32_t>& sizes,
                                   const FolderData& folder) {
  std::vector<std::uint32_t> offsets;
  std::uint32_t offset = 0;
  for (const auto size : sizes) {
    offsets.push_back(offset);
    offset += size;
  }
  return BuildCabinetAt(entries, sizes, offsets, folder);
}

std::string BuildCabinetAt(const std::vector<CabEntry>& entries,
                           const std::vector<std::uint32_t>& sizes,
                           const std::vector<std::uint32_t>& offsets, const FolderData& folder) {
  std::vector<Place> places;
  for (const auto offset : offsets) places.push_back({0, offset});
  return Assemble(entries, sizes, places, {folder});
}

DataBlock MszipStoredBlock(const std::string& data) {
  std::string packed = "CK";
  packed += '\x01';  // the last deflate block, stored
  Append16(packed, static_cast<std::uint32_t>(data.size()));
  Append16(packed, static_cast<std::uint32_t>(~data.size() & 0xffff));
  packed += data;
  return {packed, static_cast<std::uint16_t>(data.size())};
}

DataBlock MszipCopyBlock(unsigned length, unsigned distance) {
  // Fixed Huffman codes: length code 269 covers 19 to 22 (two extra bits), distance code 11
  // covers 49 to 64 (four extra bits), 256 ends the block.
  BitWriter bits;
  bits.Bits(1, 1);  // the last block
  bits.Bits(1, 2);  // fixed Huffman codes
  bits.Code(269 - 256, 7);
  bits.Bits(length - 19, 2);
  bits.Code(11, 5);
  bits.Bits(distance - 49, 4);
  bits.Code(0, 7);
  return {"CK" + bits.Bytes(), static_cast<std::uint16_t>(length)};
}

std::size_t FirstDataOffset(const std::string& cabinet) {
  return Get32(cabinet, kHeaderSize) + kDataHeaderSize;
}

}  // namespace zarn::test
