// Byte streams that transfers read from and write to: a file, or memory. A stream has a size and
// a position; reads and writes start at the position and advance it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

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

// A file on disk. A write that fails (a full disk) raises EWriteError, "Stream write error".
class TFileStream : public TStream {
 public:
  enum class Mode { kCreate, kOpenRead };
  // kCreate creates the file or truncates it (EFCreateError when it cannot); kOpenRead opens an
  // existing file for reading (EFOpenError, "Cannot open file <path>").
  TFileStream(const std::string& path, Mode mode);

  std::size_t Read(char* bytes, std::size_t count) override;
  void Write(const char* bytes, std::size_t count) override;
  std::int64_t Size() const override;
  std::int64_t Position() const override;
  void Seek(std::int64_t position) override;
  // Writes out what is buffered and closes the file, raising EWriteError when that fails; the
  // destructor closes quietly.
  void Close();

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::string path_;
};

}  // namespace zarn
