#include "platform/posix/mszip_folder.h"

#include <algorithm>
#include <cstring>

#include "common/cabinet_format.h"

namespace zarn::platform::posix {

namespace {

using namespace cabinet_format;

// MSZIP keeps the last 32 KiB of output as the dictionary of the next block.
constexpr std::size_t kHistorySize = 32768;

std::uint16_t Get16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(Get16(p)) | static_cast<std::uint32_t>(Get16(p + 2)) << 16;
}

bool ReadAt(const CabinetCallbacks& callbacks, std::intptr_t file, std::uint64_t offset,
            unsigned char* buffer, unsigned count) {
  if (callbacks.seek(file, static_cast<long>(offset), 0) != static_cast<long>(offset)) return false;
  return callbacks.read(file, buffer, count) == count;
}

// The cabinet format's checksum: the XOR of the little-endian 32-bit words, the last one or
// three bytes taken high byte first.
std::uint32_t Checksum(const unsigned char* data, std::size_t size, std::uint32_t seed) {
  std::uint32_t sum = seed;
  std::size_t i = 0;
  for (; i + 4 <= size; i += 4) sum ^= Get32(data + i);
  std::uint32_t tail = 0;
  switch (size - i) {
    case 3:
      tail |= static_cast<std::uint32_t>(data[i++]) << 16;
      [[fallthrough]];
    case 2:
      tail |= static_cast<std::uint32_t>(data[i++]) << 8;
      [[fallthrough]];
    case 1:
      tail |= data[i];
      break;
    default:
      break;
  }
  return sum ^ tail;
}

}  // namespace

bool ReadCabinetLayout(const CabinetCallbacks& callbacks, std::intptr_t cabinet,
                       CabinetLayout& layout) {
  unsigned char header[kHeaderSize];
  if (!ReadAt(callbacks, cabinet, 0, header, kHeaderSize)) return false;
  if (std::memcmp(header, "MSCF", 4) != 0) return false;
  const std::uint16_t folders = Get16(header + 26);
  const std::uint16_t flags = Get16(header + 30);
  if ((flags & (kFlagPrevious | kFlagNext | kFlagReserve)) != 0) return false;
  std::vector<unsigned char> entries(folders * kFolderEntrySize);
  if (folders > 0 && !ReadAt(callbacks, cabinet, kHeaderSize, entries.data(),
                             static_cast<unsigned>(entries.size()))) {
    return false;
  }
  layout.folders.clear();
  for (std::size_t i = 0; i < folders; ++i) {
    const unsigned char* entry = entries.data() + i * kFolderEntrySize;
    layout.folders.push_back({Get32(entry), Get16(entry + 4), Get16(entry + 6)});
  }
  return true;
}

MszipFolderReader::MszipFolderReader(const CabinetCallbacks& callbacks, std::intptr_t cabinet,
                                     const CabinetLayout& layout)
    : callbacks_(callbacks),
      cabinet_(cabinet),
      layout_(layout),
      input_(65536),
      blocks_{std::vector<unsigned char>(kMaxBlockSize),
              std::vector<unsigned char>(kMaxBlockSize)} {
  ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;  // raw deflate data
  history_.reserve(kHistorySize);
}

MszipFolderReader::~MszipFolderReader() {
  if (ready_) inflateEnd(&stream_);
}

void MszipFolderReader::Start(std::size_t folder) {
  folder_ = folder;
  blocks_done_ = 0;
  next_block_ = layout_.folders[folder].data_offset;
  block_start_ = 0;
  block_size_ = 0;
  history_.clear();
  history_data_ = nullptr;
  history_size_ = 0;
}

MszipFolderReader::Result MszipFolderReader::Extract(std::size_t folder, std::uint32_t offset,
                                                     std::uint32_t length, std::intptr_t output) {
  if (folder >= layout_.folders.size() ||
      (layout_.folders[folder].compression & kMethodMask) != kMethodMszip) {
    return Result::kDamaged;
  }
  if (folder != folder_ || offset < block_start_) Start(folder);
  std::uint64_t position = offset;
  std::uint64_t left = length;
  while (left > 0) {
    if (position >= block_start_ + block_size_) {
      if (!NextBlock()) return Result::kDamaged;
      continue;
    }
    const auto from = static_cast<std::size_t>(position - block_start_);
    const auto count = static_cast<unsigned>(std::min<std::uint64_t>(left, block_size_ - from));
    if (callbacks_.write(output, blocks_[current_].data() + from, count) != count) {
      return Result::kWriteFailed;
    }
    position += count;
    left -= count;
  }
  return Result::kOk;
}

bool MszipFolderReader::NextBlock() {
  if (blocks_done_ >= layout_.folders[folder_].blocks) return false;
  unsigned char header[kDataHeaderSize];
  if (!ReadAt(callbacks_, cabinet_, next_block_, header, kDataHeaderSize)) return false;
  const std::uint32_t stored_sum = Get32(header);
  const std::uint16_t packed = Get16(header + 4);
  const std::uint16_t unpacked = Get16(header + 6);
  if (unpacked > kMaxBlockSize || packed < 2) return false;
  if (callbacks_.read(cabinet_, input_.data(), packed) != packed) return false;
  if (stored_sum != 0 &&
      Checksum(header + 4, 4, Checksum(input_.data(), packed, 0)) != stored_sum) {
    return false;
  }
  // Every MSZIP block begins with "CK", then deflate data that may refer back into the output
  // of the blocks before it.
  if (input_[0] != 'C' || input_[1] != 'K') return false;
  if (inflateReset(&stream_) != Z_OK) return false;
  if (history_size_ > 0 &&
      inflateSetDictionary(&stream_, history_data_, static_cast<uInt>(history_size_)) != Z_OK) {
    return false;
  }
  const int next = 1 - current_;
  stream_.next_in = input_.data() + 2;
  stream_.avail_in = packed - 2u;
  stream_.next_out = blocks_[next].data();
  stream_.avail_out = unpacked;
  const int status = inflate(&stream_, Z_FINISH);
  if (status != Z_STREAM_END && status != Z_OK && status != Z_BUF_ERROR) return false;
  if (stream_.avail_out != 0) return false;

  current_ = next;
  block_start_ += block_size_;
  block_size_ = unpacked;
  next_block_ += kDataHeaderSize + packed;
  ++blocks_done_;
  KeepHistory();
  return true;
}

void MszipFolderReader::KeepHistory() {
  const unsigned char* block = blocks_[current_].data();
  if (block_size_ >= kHistorySize) {
    history_data_ = block + (block_size_ - kHistorySize);
    history_size_ = kHistorySize;
    history_.clear();
    return;
  }
  // A short block: the history is the end of the old history followed by this block.
  if (history_.empty() && history_size_ > 0)
    history_.assign(history_data_, history_data_ + history_size_);
  history_.insert(history_.end(), block, block + block_size_);
  if (history_.size() > kHistorySize) {
    history_.erase(history_.begin(), history_.end() - kHistorySize);
  }
  history_data_ = history_.data();
  history_size_ = history_.size();
}

}  // namespace zarn::platform::posix
