// MSZIP folders inflated with zlib. libmspack reads every cabinet, but zlib inflates faster, so
// the adapter hands the MSZIP folders of a single (unspanned) cabinet to this reader: it finds the
// folders' data blocks from the cabinet header, checks each block's checksum and inflates it with
// the previous 32 KiB of output as history, all through the caller's file callbacks.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "platform/cabinet.h"

namespace zarn::platform::posix {

// Where a cabinet keeps its folders' data, from its header.
struct CabinetLayout {
  struct Folder {
    std::uint32_t data_offset = 0;
    std::uint16_t blocks = 0;
    std::uint16_t compression = 0;  // the low four bits name the method; 1 is MSZIP
  };
  std::vector<Folder> folders;
};

// Reads the layout of a cabinet open at `cabinet`. False for a header that cannot be read, and for
// cabinets this reader leaves to libmspack: spanned ones and ones with reserved space.
bool ReadCabinetLayout(const CabinetCallbacks& callbacks, std::intptr_t cabinet,
                       CabinetLayout& layout);

class MszipFolderReader {
 public:
  enum class Result { kOk, kDamaged, kWriteFailed };

  MszipFolderReader(const CabinetCallbacks& callbacks, std::intptr_t cabinet,
                    const CabinetLayout& layout);
  ~MszipFolderReader();
  MszipFolderReader(const MszipFolderReader&) = delete;
  MszipFolderReader& operator=(const MszipFolderReader&) = delete;

  bool Ready() const { return ready_; }

  // Writes bytes [offset, offset + length) of the folder's uncompressed stream to `output`
  // through the write callback. Files are asked for in stream order, so the reader goes on from
  // where it stopped and starts the folder again only when asked for an earlier place.
  Result Extract(std::size_t folder, std::uint32_t offset, std::uint32_t length,
                 std::intptr_t output);

 private:
  void Start(std::size_t folder);
  bool NextBlock();
  void KeepHistory();

  const CabinetCallbacks& callbacks_;
  std::intptr_t cabinet_;
  const CabinetLayout& layout_;
  z_stream stream_{};
  bool ready_ = false;
  std::vector<unsigned char> input_;
  // Two output blocks: the current one, and the one before it, which is the history of the next
  // block when it is a full 32 KiB (the usual case) and then needs no copy.
  std::vector<unsigned char> blocks_[2];
  int current_ = 0;
  std::vector<unsigned char> history_;  // the last 32 KiB of output, when assembled from pieces
  const unsigned char* history_data_ = nullptr;
  std::size_t history_size_ = 0;
  std::size_t folder_ = static_cast<std::size_t>(-1);
  std::uint32_t blocks_done_ = 0;
  std::uint64_t next_block_ = 0;   // cabinet offset of the next data block
  std::uint64_t block_start_ = 0;  // stream offset of the current block
  std::uint32_t block_size_ = 0;
};

}  // namespace zarn::platform::posix
