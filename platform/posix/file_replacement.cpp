// Replacing an installed file on POSIX: the copy is written to a hidden temporary file beside the
// target, synced, renamed over the target, and the folder synced so that the rename survives a
// crash. A target without the owner's write permission stands for a Windows read-only file.
#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/posix/windows_error.h"

namespace zarn::platform {

namespace {

// A descriptor closed when it goes.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;

  bool Valid() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// The temporary file: removed when it goes unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

bool Fail(int error_number, std::uint32_t& error) {
  error = posix::WindowsErrorFromErrno(error_number);
  return false;
}

// Copies inside the kernel, without passing the bytes through this program's memory; false with
// errno set when it fails. `unsupported` tells that the kernel cannot copy between these two files
// at all (nothing has moved then), so that the caller reads and writes instead.
bool CopyInKernel(int from, int to, bool& unsupported) {
  constexpr std::size_t kPiece = 16 * 1024 * 1024;
  unsupported = false;
  bool moved = false;
  for (;;) {
    const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, kPiece, 0);
    if (n == 0) return true;
    if (n > 0) {
      moved = true;
      continue;
    }
    if (errno == EINTR) continue;
    unsupported =
        !moved && (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP);
    return false;
  }
}

bool CopyData(int from, int to) {
  bool unsupported = false;
  if (CopyInKernel(from, to, unsupported)) return true;
  if (!unsupported) return false;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += w;
    }
  }
}

std::string TemporaryName(const std::string& folder, const std::string& name) {
  static std::atomic<unsigned> counter{0};
  return folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
         ".tmp";
}

}  // namespace

bool ReplaceFileWithCopy(std::string_view source, std::string_view target, std::uint32_t& error) {
  const std::string target_path(target);
  struct stat old {};
  const bool target_exists = ::lstat(target_path.c_str(), &old) == 0;
  if (!target_exists && errno != ENOENT) return Fail(errno, error);
  if (target_exists && (!S_ISREG(old.st_mode) || (old.st_mode & S_IWUSR) == 0)) {
    return Fail(EACCES, error);
  }

  Fd input(::open(std::string(source).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!input.Valid()) return Fail(errno, error);
  struct stat from {};
  if (::fstat(input.Get(), &from) != 0) return Fail(errno, error);
  if (!S_ISREG(from.st_mode)) return Fail(EACCES, error);

  const std::size_t cut = target_path.rfind('/');
  const std::string folder =
      cut == std::string::npos ? std::string() : target_path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? target_path : target_path.substr(cut + 1);
  // An installed file keeps its permissions; a new one takes the source's.
  const mode_t mode = (target_exists ? old.st_mode : from.st_mode) & 07777;
  TemporaryFile temporary(TemporaryName(folder, name));
  Fd output(::open(temporary.Path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  // The source is open, so a missing entry here is the target's folder (ERROR_PATH_NOT_FOUND).
  if (!output.Valid()) return Fail(errno == ENOENT ? ENOTDIR : errno, error);
  if (!CopyData(input.Get(), output.Get())) return Fail(errno, error);
  const struct timespec times[2] = {{0, UTIME_NOW}, from.st_mtim};
  if (::futimens(output.Get(), times) != 0 || ::fchmod(output.Get(), mode) != 0 ||
      ::fsync(output.Get()) != 0 || !output.Close()) {
    return Fail(errno, error);
  }
  if (::rename(temporary.Path().c_str(), target_path.c_str()) != 0) return Fail(errno, error);
  temporary.Keep();
  Fd directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Valid()) ::fsync(directory.Get());  // the file is in place; this only hardens it
  return true;
}

}  // namespace zarn::platform
