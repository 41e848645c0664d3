#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zarn::platform::posix {

namespace {

FileVersionStamp StampFrom(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::int64_t>(info.st_size),
          static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace

std::optional<FileVersionStamp> RegularFileStamp(std::string_view path) {
  struct stat info {};
  if (::stat(std::string(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return StampFrom(info);
}

std::optional<RegularFile> RegularFile::Open(std::string_view path, std::int64_t max_bytes) {
  // Non-blocking, so that opening a FIFO returns at once; it is then refused as not regular.
  const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > max_bytes) {
    ::close(fd);
    return std::nullopt;
  }
  return RegularFile(fd, StampFrom(info));
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), stamp_(other.stamp_) {}

std::optional<std::string> RegularFile::ReadAt(std::uint64_t offset, std::size_t length) const {
  const auto size = static_cast<std::uint64_t>(stamp_.size);
  if (offset > size || length > size - offset) return std::nullopt;
  std::optional<std::string> read = ReadUpTo(offset, length);
  if (read && read->size() != length) return std::nullopt;
  return read;
}

std::optional<std::string> RegularFile::ReadUpTo(std::uint64_t offset, std::size_t length) const {
  std::string read(length, '\0');
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n =
        ::pread(fd_, read.data() + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  read.resize(done);
  return read;
}

std::optional<std::string> ReadRegularFile(std::string_view path, std::int64_t max_bytes,
                                           FileVersionStamp* stamp) {
  const auto file = RegularFile::Open(path, max_bytes);
  if (!file) return std::nullopt;
  // A file that grows meanwhile is read up to the size it had.
  auto bytes = file->ReadUpTo(0, static_cast<std::size_t>(file->Stamp().size));
  if (bytes && stamp != nullptr) *stamp = file->Stamp();
  return bytes;
}

}  // namespace zarn::platform::posix
