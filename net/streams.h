// Byte streams that transfers read from and write to: a file, or memory. A stream has a size and
// a position; reads and writes start at the position and advance it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_handles.h"

namespace zarn {

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes; fewer (0 at the end) when the stream ends first.
  virtual std::size_t Read(char* bytes, std::size_t count) = 0;
  virtual void Write(const char* bytes, std::size_t count) = 0;
  virtual std::int64_t Size() const = 0;
  virtual std::int64_t Position() const = 0;
  virtual void Seek(std::int64_t position) = 0;
  // Makes the stream size bytes long (cutting or growing it); the position is kept, except that
  // it moves back to the new end when it lay beyond it.
  virtual void SetSize(std::int64_t size) = 0;
};

// Bytes in memory. With a limit, a write that would grow the stream beyond it raises
// ENetLimitExceeded with the given message and writes nothing.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(std::size_t limit, std::string limit_message)
      : limit_(limit), limit_message_(std::move(limit_message)) {}

  std::size_t Read(char* bytes, std::size_t count) override;
  void Write(const char* bytes, std::size_t count) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(data_.size()); }
  std::int64_t Position() const override { return static_cast<std::int64_t>(position_); }
  void Seek(std::int64_t position) override;
  void SetSize(std::int64_t size) override;

  const std::string& Bytes() const { return data_; }
  // Empties the stream: no bytes, position 0.
  void Clear() {
    data_.clear();
    position_ = 0;
  }

 private:
  std::string data_;
  std::size_t position_ = 0;
  std::size_t limit_ = static_cast<std::size_t>(-1);
  std::string limit_message_;
};

// A file on disk, on the platform's file handles (64-bit sizes and positions). A write that
// fails (a full disk) raises EWriteError, "Stream write error"; a read that fails raises
// EReadError, "Stream read error".
class TFileStream : public TStream {
 public:
  enum class Mode { kCreate, kOpenRead, kUpdate };
  // kCreate creates the file or empties it, for reading and writing that no one else may share
  // while it is open (EFCreateError when it cannot); kUpdate the same, keeping the bytes of an
  // existing file (position 0); kOpenRead opens an existing file for reading (EFOpenError,
  // "Cannot open file <path>"). On POSIX a symbolic link is not followed.
  TFileStream(const std::string& path, Mode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::size_t Read(char* bytes, std::size_t count) override;
  void Write(const char* bytes, std::size_t count) override;
  std::int64_t Size() const override;
  std::int64_t Position() const override;
  void Seek(std::int64_t position) override;
  void SetSize(std::int64_t size) override;
  // Closes the file, raising EWriteError when that fails; the destructor closes quietly.
  void Close();

 private:
  std::int64_t SeekTo(std::int64_t distance, platform::SeekOrigin origin) const;

  platform::FileHandle file_ = platform::kInvalidFileHandle;
};

}  // namespace zarn
