// Where the bytes of a continued download go. The first bytes after a restart are held back and
// compared with the partial file: equal to its bytes at the restart offset, the rest is appended
// after the partial file; equal to its first bytes, the server ignored the restart and the file
// is written anew from its start; neither, the partial file is not a prefix of the remote file
// and the transfer must be broken off (EResumeMismatch).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/net_exceptions.h"
#include "net/streams.h"

namespace zarn {

// A continued download found that the partial file cannot be kept.
class EResumeMismatch : public ENetException {
 public:
  EResumeMismatch() : ENetException("The partial file differs from the server's file.") {}
};

class TResumeSink : public TStream {
 public:
  // partial: the bytes the file holds; known_size: the remote file's size when the caller or the
  // server told it; max_bytes: the most bytes the file may grow to (-1: no limit).
  TResumeSink(TFileStream& file, std::int64_t partial, std::optional<std::int64_t> known_size,
              std::int64_t max_bytes);

  // Starts a transfer whose first byte is the remote file's byte at offset (0: the whole file,
  // which empties the local file first).
  void Begin(std::int64_t offset);
  // After a transfer that ended normally: false when a restarted one ended before the overlap
  // was complete, or when the resumed file's size is not the known size.
  bool Finished() const;
  bool Resumed() const { return mode_ == Mode::kAppend; }
  std::int64_t Received() const { return received_; }

  // Writes go to the file as described above; EResumeMismatch when they cannot be placed,
  // ENetLimitExceeded when the file would grow beyond max_bytes.
  void Write(const char* bytes, std::size_t count) override;
  // The bytes this transfer has placed; reading, seeking and cutting are the sink's own business.
  std::size_t Read(char*, std::size_t) override { return 0; }
  std::int64_t Size() const override { return placed_; }
  std::int64_t Position() const override { return placed_; }
  void Seek(std::int64_t) override {}
  void SetSize(std::int64_t) override {}

 private:
  enum class Mode { kProbe, kAppend, kWhole };
  void Decide();
  void Place(const char* bytes, std::size_t count);
  std::string PartialBytes(std::int64_t from, std::size_t count);

  TFileStream& file_;
  std::int64_t partial_;
  std::optional<std::int64_t> known_size_;
  std::int64_t max_bytes_;
  Mode mode_ = Mode::kWhole;
  std::int64_t offset_ = 0;
  std::string probe_;
  std::int64_t received_ = 0;
  std::int64_t placed_ = 0;
};

}  // namespace zarn
