#include "tests/cab/cab_writer.h"

#include <algorithm>

namespace zarn::testing {

namespace {

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFolderSize = 8;
constexpr std::size_t kFileFixedSize = 16;
constexpr std::size_t kDataHeaderSize = 8;
constexpr std::size_t kMaxBlock = 32768;

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

// The data blocks of one folder: the stream cut into blocks of at most 32 KiB (none for an empty
// stream).
std::string DataBlocks(const std::string& stream, std::uint16_t& count) {
  std::string blocks;
  count = 0;
  for (std::size_t at = 0; at < stream.size(); at += kMaxBlock) {
    const std::size_t size = std::min(kMaxBlock, stream.size() - at);
    Append32(blocks, 0);  // no checksum
    Append16(blocks, static_cast<std::uint32_t>(size));
    Append16(blocks, static_cast<std::uint32_t>(size));
    blocks.append(stream, at, size);
    ++count;
  }
  return blocks;
}

}  // namespace

std::string BuildCabinet(const std::vector<CabEntry>& entries, FolderLayout layout) {
  // Each folder's uncompressed stream, and each file's folder and offset in it.
  std::vector<std::string> streams;
  std::vector<std::uint16_t> file_folder;
  std::vector<std::uint32_t> file_offset;
  for (const auto& entry : entries) {
    if (streams.empty() || layout == FolderLayout::kFolderPerFile) streams.emplace_back();
    file_folder.push_back(static_cast<std::uint16_t>(streams.size() - 1));
    file_offset.push_back(static_cast<std::uint32_t>(streams.back().size()));
    streams.back() += entry.data;
  }
  if (streams.empty()) streams.emplace_back();

  std::string files;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Append32(files, static_cast<std::uint32_t>(entries[i].data.size()));
    Append32(files, file_offset[i]);
    Append16(files, file_folder[i]);
    Append16(files, entries[i].date);
    Append16(files, entries[i].time);
    Append16(files, entries[i].attributes);
    files += entries[i].name;
    files += '\0';
  }

  const std::size_t files_offset = kHeaderSize + kFolderSize * streams.size();
  std::size_t data_offset = files_offset + files.size();
  std::string folders;
  std::string data;
  for (const auto& stream : streams) {
    std::uint16_t blocks = 0;
    const std::string bytes = DataBlocks(stream, blocks);
    Append32(folders, static_cast<std::uint32_t>(data_offset + data.size()));
    Append16(folders, blocks);
    Append16(folders, 0);  // stored
    data += bytes;
  }

  std::string cabinet(kHeaderSize, '\0');
  cabinet.replace(0, 4, "MSCF");
  Put32(cabinet, 8, static_cast<std::uint32_t>(data_offset + data.size()));
  Put32(cabinet, 16, static_cast<std::uint32_t>(files_offset));
  cabinet[24] = 3;  // version 1.3
  cabinet[25] = 1;
  Put16(cabinet, 26, static_cast<std::uint32_t>(streams.size()));
  Put16(cabinet, 28, static_cast<std::uint32_t>(entries.size()));
  Put16(cabinet, 32, 0x1234);  // set id
  cabinet += folders;
  cabinet += files;
  cabinet += data;
  return cabinet;
}

std::size_t FirstDataOffset(const std::string& cabinet) {
  return Get32(cabinet, kHeaderSize) + kDataHeaderSize;
}

}  // namespace zarn::testing
