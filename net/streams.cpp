#include "net/streams.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

void TMemoryStream::SetSize(std::int64_t size) {
  const auto bytes = static_cast<std::size_t>(std::max<std::int64_t>(size, 0));
  if (bytes > limit_) throw ENetLimitExceeded(limit_message_);
  data_.resize(bytes);
  position_ = std::min(position_, bytes);
}

namespace {

// The largest piece one platform call moves.
constexpr std::size_t kMaxPiece = 1u << 30;

}  // namespace

TFileStream::TFileStream(const std::string& path, Mode mode) {
  std::uint32_t error = 0;
  platform::StreamOpen open = platform::StreamOpen::kStreamRead;
  if (mode == Mode::kCreate) open = platform::StreamOpen::kStreamCreate;
  if (mode == Mode::kUpdate) open = platform::StreamOpen::kStreamUpdate;
  file_ = platform::OpenStreamFile(path, open, error);
  if (file_ == platform::kInvalidFileHandle) {
    if (mode != Mode::kOpenRead) throw EFCreateError(path);
    throw EFOpenError(path);
  }
}

TFileStream::~TFileStream() {
  std::uint32_t error = 0;
  if (file_ != platform::kInvalidFileHandle) platform::CloseFileHandle(file_, error);
}

std::size_t TFileStream::Read(char* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const auto piece = static_cast<std::uint32_t>(std::min(count - done, kMaxPiece));
    std::uint32_t error = 0;
    const std::uint32_t got = platform::ReadFileHandle(file_, bytes + done, piece, error);
    if (got == static_cast<std::uint32_t>(-1)) throw EReadError();
    done += got;
    if (got < piece) break;
  }
  return done;
}

void TFileStream::Write(const char* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const auto piece = static_cast<std::uint32_t>(std::min(count - done, kMaxPiece));
    std::uint32_t error = 0;
    if (platform::WriteFileHandle(file_, bytes + done, piece, error) != piece) throw EWriteError();
    done += piece;
  }
}

std::int64_t TFileStream::SeekTo(std::int64_t distance, platform::SeekOrigin origin) const {
  std::uint32_t error = 0;
  const std::int64_t position = platform::SeekFileHandle(file_, distance, origin, error);
  if (position < 0) throw EReadError();
  return position;
}

std::int64_t TFileStream::Size() const {
  const std::int64_t here = SeekTo(0, platform::SeekOrigin::kCurrent);
  const std::int64_t size = SeekTo(0, platform::SeekOrigin::kEnd);
  SeekTo(here, platform::SeekOrigin::kBegin);
  return size;
}

std::int64_t TFileStream::Position() const {
  return SeekTo(0, platform::SeekOrigin::kCurrent);
}

void TFileStream::Seek(std::int64_t position) {
  SeekTo(std::max<std::int64_t>(position, 0), platform::SeekOrigin::kBegin);
}

void TFileStream::SetSize(std::int64_t size) {
  size = std::max<std::int64_t>(size, 0);
  std::uint32_t error = 0;
  if (!platform::SetFileHandleSize(file_, size, error)) throw EWriteError();
  if (Position() > size) Seek(size);
}

void TFileStream::Close() {
  const platform::FileHandle file = std::exchange(file_, platform::kInvalidFileHandle);
  std::uint32_t error = 0;
  if (file != platform::kInvalidFileHandle && !platform::CloseFileHandle(file, error)) {
    throw EWriteError();
  }
}

}  // namespace zarn
