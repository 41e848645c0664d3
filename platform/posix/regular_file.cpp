#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

std::optional<std::string> ReadRegularFile(std::string_view path, std::int64_t max_bytes,
                                           FileVersionStamp* stamp) {
  // Non-blocking, so that opening a FIFO returns at once; it is then refused as not regular.
  const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= max_bytes) {
    std::string read(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    bool failed = false;
    // A file that grows meanwhile is read up to the size it had.
    while (done < read.size()) {
      const ssize_t n = ::read(fd, read.data() + done, read.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed = true;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (!failed) {
      read.resize(done);
      bytes = std::move(read);
      if (stamp != nullptr) *stamp = StampFrom(info);
    }
  }
  ::close(fd);
  return bytes;
}

}  // namespace zarn::platform::posix
