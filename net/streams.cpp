#include "net/streams.h"

#include <algorithm>
#include <cstring>

#include "net/net_exceptions.h"

namespace zarn {

std::size_t TMemoryStream::Read(char* bytes, std::size_t count) {
  const std::size_t available = position_ < data_.size() ? data_.size() - position_ : 0;
  const std::size_t n = std::min(count, available);
  std::memcpy(bytes, data_.data() + position_, n);
  position_ += n;
  return n;
}

void TMemoryStream::Write(const char* bytes, std::size_t count) {
  if (count > limit_ || position_ > limit_ - count) throw ENetLimitExceeded(limit_message_);
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, bytes, count);
  position_ += count;
}

void TMemoryStream::Seek(std::int64_t position) {
  position_ = static_cast<std::size_t>(std::max<std::int64_t>(position, 0));
}

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
  file_.reset(std::fopen(path.c_str(), mode == Mode::kCreate ? "w+b" : "rb"));
  if (!file_) {
    if (mode == Mode::kCreate) throw EFCreateError(path);
    throw EFOpenError(path);
  }
}

std::size_t TFileStream::Read(char* bytes, std::size_t count) {
  return std::fread(bytes, 1, count, file_.get());
}

void TFileStream::Write(const char* bytes, std::size_t count) {
  if (std::fwrite(bytes, 1, count, file_.get()) != count) throw EWriteError();
}

std::int64_t TFileStream::Size() const {
  const long here = std::ftell(file_.get());
  std::fseek(file_.get(), 0, SEEK_END);
  const long size = std::ftell(file_.get());
  std::fseek(file_.get(), here, SEEK_SET);
  return size;
}

void TFileStream::Close() {
  std::FILE* file = file_.release();
  if (file != nullptr && std::fclose(file) != 0) throw EWriteError();
}

std::int64_t TFileStream::Position() const {
  return std::ftell(file_.get());
}

void TFileStream::Seek(std::int64_t position) {
  std::fseek(file_.get(), static_cast<long>(position), SEEK_SET);
}

}  // namespace zarn
