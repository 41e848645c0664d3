// File times on POSIX.
#include "platform/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/date_time.h"
#include "platform/posix/windows_error.h"

namespace zarn::platform {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000;

std::int64_t Ticks(std::int64_t seconds, std::uint32_t nanoseconds) {
  return kUnixEpochInFileTime + seconds * kTicksPerSecond + nanoseconds / 100;
}

struct timespec Timespec(std::optional<std::int64_t> ticks) {
  struct timespec time{};
  if (!ticks) {
    time.tv_nsec = UTIME_OMIT;
    return time;
  }
  const std::int64_t since_epoch = *ticks - kUnixEpochInFileTime;
  std::int64_t seconds = since_epoch / kTicksPerSecond;
  std::int64_t rest = since_epoch % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = static_cast<long>(rest * 100);
  return time;
}

}  // namespace

bool SetLastWriteTimeFromDos(FileHandle file, std::uint16_t dos_date, std::uint16_t dos_time,
                             std::uint32_t& error) {
  const CivilDateTime c = UnpackDosDateTime({dos_date, dos_time});
  if (!ValidDate(c) || !ValidTime(c)) return false;
  const std::int64_t seconds =
      DaysFromCivil(c.year, c.month, c.day) * 86400 + c.hour * 3600 + c.minute * 60 + c.second;
  struct timespec times[2]{};
  times[0].tv_nsec = UTIME_OMIT;  // last access stays
  times[1].tv_sec = static_cast<time_t>(seconds);
  if (::futimens(static_cast<int>(file), times) != 0) {
    error = posix::WindowsErrorFromErrno(errno);
    return false;
  }
  return true;
}

std::optional<FileTimes> ReadFileTimes(std::string_view path) {
  struct statx info{};
  if (::statx(AT_FDCWD, std::string(path).c_str(), AT_SYMLINK_NOFOLLOW,
              STATX_BASIC_STATS | STATX_BTIME, &info) != 0 ||
      !S_ISREG(info.stx_mode)) {
    return std::nullopt;
  }
  const auto ticks = [](const struct statx_timestamp& t) { return Ticks(t.tv_sec, t.tv_nsec); };
  FileTimes times;
  times.creation =
      (info.stx_mask & STATX_BTIME) != 0 ? ticks(info.stx_btime) : ticks(info.stx_ctime);
  times.last_write = ticks(info.stx_mtime);
  times.last_access = ticks(info.stx_atime);
  times.change = ticks(info.stx_ctime);
  return times;
}

bool SetFileTimes(std::string_view path, std::optional<std::int64_t> /*creation*/,
                  std::optional<std::int64_t> last_write, std::optional<std::int64_t> last_access,
                  std::uint32_t& error) {
  // Opened without following a link and without waiting on a FIFO, then checked to be a regular
  // file before anything is set.
  const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = posix::WindowsErrorFromErrno(errno);
    return false;
  }
  struct stat info{};
  bool done = false;
  if (::fstat(fd, &info) != 0) {
    error = posix::WindowsErrorFromErrno(errno);
  } else if (!S_ISREG(info.st_mode)) {
    error = posix::WindowsErrorFromErrno(EACCES);
  } else {
    const struct timespec times[2] = {Timespec(last_access), Timespec(last_write)};
    done = ::futimens(fd, times) == 0;
    if (!done) error = posix::WindowsErrorFromErrno(errno);
  }
  ::close(fd);
  return done;
}

std::optional<std::int64_t> LastWriteTimeSeconds(std::string_view path) {
  struct stat info{};
  if (::stat(std::string(path).c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::int64_t>(info.st_mtim.tv_sec);
}

}  // namespace zarn::platform
