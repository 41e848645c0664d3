// Open files addressed by handle on POSIX: the handle is the file descriptor.
#include "platform/file_handles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/windows_error.h"

namespace zarn::platform {

namespace {

// A handle of 0 means "skip this file" to the cabinet library, so descriptor 0 (free when
// standard input is closed) is moved out of the way.
int AwayFromZero(int fd) {
  if (fd != 0) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
  ::close(fd);
  return moved;
}

FileHandle Opened(int fd, std::string_view path, std::uint32_t& error) {
  if (fd >= 0) fd = AwayFromZero(fd);
  if (fd < 0) {
    error = posix::WindowsErrorFromErrno(errno, path);
    return kInvalidFileHandle;
  }
  return fd;
}

int Fd(FileHandle file) {
  return static_cast<int>(file);
}

}  // namespace

FileHandle OpenFileHandle(std::string_view path, FileAccess access, std::uint32_t& error) {
  int flags = O_CLOEXEC;
  switch (access) {
    case FileAccess::kRead:
      flags |= O_RDONLY;
      break;
    case FileAccess::kWrite:
      flags |= O_WRONLY;
      break;
    case FileAccess::kReadWrite:
      flags |= O_RDWR;
      break;
  }
  return Opened(::open(std::string(path).c_str(), flags), path, error);
}

FileHandle CreateFileHandle(std::string_view path, std::uint32_t& error) {
  return Opened(::open(std::string(path).c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666),
                path, error);
}

FileHandle OpenStreamFile(std::string_view path, StreamOpen mode, std::uint32_t& error) {
  int flags = O_RDONLY;
  if (mode == StreamOpen::kStreamCreate) flags = O_RDWR | O_CREAT | O_TRUNC;
  if (mode == StreamOpen::kStreamUpdate) flags = O_RDWR | O_CREAT;
  return Opened(::open(std::string(path).c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0666), path,
                error);
}

bool SetFileHandleSize(FileHandle file, std::int64_t size, std::uint32_t& error) {
  int result;
  do {
    result = ::ftruncate(Fd(file), static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    error = posix::WindowsErrorFromErrno(errno);
    return false;
  }
  return true;
}

std::uint32_t ReadFileHandle(FileHandle file, void* buffer, std::uint32_t count,
                             std::uint32_t& error) {
  // Reads until the count is met or the file ends: a short read means the end of the file to
  // the cabinet readers.
  auto* bytes = static_cast<char*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(Fd(file), bytes + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = posix::WindowsErrorFromErrno(errno);
      return static_cast<std::uint32_t>(-1);
    }
    if (n == 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

std::uint32_t WriteFileHandle(FileHandle file, const void* buffer, std::uint32_t count,
                              std::uint32_t& error) {
  const auto* bytes = static_cast<const char*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(Fd(file), bytes + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = posix::WindowsErrorFromErrno(errno);
      return static_cast<std::uint32_t>(-1);
    }
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

std::int64_t SeekFileHandle(FileHandle file, std::int64_t distance, SeekOrigin origin,
                            std::uint32_t& error) {
  const int whence = origin == SeekOrigin::kBegin ? SEEK_SET
                     : origin == SeekOrigin::kEnd ? SEEK_END
                                                  : SEEK_CUR;
  const off_t position = ::lseek(Fd(file), static_cast<off_t>(distance), whence);
  if (position < 0) {
    error = posix::WindowsErrorFromErrno(errno);
    return -1;
  }
  return position;
}

bool CloseFileHandle(FileHandle file, std::uint32_t& error) {
  if (::close(Fd(file)) != 0) {
    error = posix::WindowsErrorFromErrno(errno);
    return false;
  }
  return true;
}

std::string SystemErrorText(std::uint32_t error) {
  return posix::WindowsErrorText(error);
}

}  // namespace zarn::platform
