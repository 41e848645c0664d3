#include "cab/cabinet_directory.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zarn {

namespace {

using namespace cabinet_format;

// A stored name is at most 256 characters and its terminating zero.
constexpr std::size_t kLongestName = 257;
// Folder indexes of entries that continue into or from another cabinet of a set.
constexpr std::uint16_t kFirstContinuationIndex = 0xFFFD;

// Little-endian reads that fail past the end of the bytes.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool Seek(std::uint64_t at) {
    if (at > bytes_.size()) return false;
    at_ = static_cast<std::size_t>(at);
    return true;
  }
  bool Skip(std::size_t count) { return Seek(static_cast<std::uint64_t>(at_) + count); }
  std::optional<std::uint32_t> Number(int size) {
    if (bytes_.size() - at_ < static_cast<std::size_t>(size)) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
      value = (value << 8) | static_cast<unsigned char>(bytes_[at_ + static_cast<std::size_t>(i)]);
    }
    at_ += static_cast<std::size_t>(size);
    return value;
  }
  bool SkipText() {
    const std::size_t end = bytes_.find('\0', at_);
    if (end == std::string_view::npos) return false;
    at_ = end + 1;
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

struct Range {
  std::uint32_t folder;
  std::uint64_t start;
  std::uint64_t end;
};

}  // namespace

std::uint64_t CabinetDirectoryLength(std::string_view header) {
  Reader reader(header);
  if (header.substr(0, 4) != "MSCF" || !reader.Seek(16)) return 0;
  const auto files_offset = reader.Number(4);
  if (!reader.Seek(28)) return 0;
  const auto files = reader.Number(2);
  if (!files_offset || !files) return 0;
  return *files_offset + static_cast<std::uint64_t>(*files) * (kFileEntrySize + kLongestName);
}

CabinetDirectoryVerdict CheckCabinetDirectory(std::string_view head,
                                              std::uint64_t max_total_bytes) {
  using enum CabinetDirectoryVerdict;
  Reader reader(head);
  if (head.size() < kHeaderSize || head.substr(0, 4) != "MSCF" || !reader.Seek(16))
    return kDamaged;
  const auto files_offset = reader.Number(4);
  reader.Seek(26);
  const auto folder_count = reader.Number(2);
  const auto file_count = reader.Number(2);
  const auto flags = reader.Number(2);
  if (!files_offset || !folder_count || !file_count || !flags) return kDamaged;
  reader.Seek(kHeaderSize);
  std::uint32_t folder_reserve = 0;
  if (*flags & kFlagReserve) {
    const auto header_reserve = reader.Number(2);
    const auto folder_reserve_size = reader.Number(1);
    if (!header_reserve || !folder_reserve_size || !reader.Number(1) ||
        !reader.Skip(*header_reserve)) {
      return kDamaged;
    }
    folder_reserve = *folder_reserve_size;
  }
  for (const std::uint16_t flag : {kFlagPrevious, kFlagNext}) {
    if ((*flags & flag) && (!reader.SkipText() || !reader.SkipText())) return kDamaged;
  }

  // The most each folder's stream can hold: every data block unpacks to 32 KiB at most.
  std::vector<std::uint64_t> capacity;
  for (std::uint32_t i = 0; i < *folder_count; ++i) {
    if (!reader.Skip(4)) return kDamaged;
    const auto blocks = reader.Number(2);
    if (!blocks || !reader.Skip(2 + folder_reserve)) return kDamaged;
    capacity.push_back(static_cast<std::uint64_t>(*blocks) * kMaxBlockSize);
  }

  if (!reader.Seek(*files_offset)) return kDamaged;
  std::vector<Range> ranges;
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < *file_count; ++i) {
    const auto size = reader.Number(4);
    const auto offset = reader.Number(4);
    const auto folder = reader.Number(2);
    if (!size || !offset || !folder || !reader.Skip(6) || !reader.SkipText()) return kDamaged;
    total += *size;
    if (*folder >= kFirstContinuationIndex) continue;  // its data lies in another cabinet
    if (*folder >= capacity.size()) return kDamaged;
    const std::uint64_t end = static_cast<std::uint64_t>(*offset) + *size;
    if (end > capacity[*folder]) return kBeyondFolder;
    if (*size > 0) ranges.push_back({*folder, *offset, end});
  }
  if (total > max_total_bytes) return kTooLarge;

  std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) {
    return a.folder != b.folder ? a.folder < b.folder : a.start < b.start;
  });
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].folder == ranges[i - 1].folder && ranges[i].start < ranges[i - 1].end) {
      return kOverlapping;
    }
  }
  return kSound;
}

}  // namespace zarn
