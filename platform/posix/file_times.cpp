// File times on POSIX.
#include "platform/file_times.h"

#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <string>

#include "common/date_time.h"

namespace zarn::platform {

bool SetLastWriteTimeFromDos(FileHandle file, std::uint16_t dos_date, std::uint16_t dos_time,
                             std::uint32_t& error) {
  const int year = 1980 + (dos_date >> 9);
  const int month = (dos_date >> 5) & 0x0f;
  const int day = dos_date & 0x1f;
  const int hour = dos_time >> 11;
  const int minute = (dos_time >> 5) & 0x3f;
  const int second = (dos_time & 0x1f) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return false;
  }
  const std::int64_t seconds =
      DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  struct timespec times[2]{};
  times[0].tv_nsec = UTIME_OMIT;  // last access stays
  times[1].tv_sec = static_cast<time_t>(seconds);
  if (::futimens(static_cast<int>(file), times) != 0) {
    error = static_cast<std::uint32_t>(errno);
    return false;
  }
  return true;
}

std::optional<std::int64_t> LastWriteTimeSeconds(std::string_view path) {
  struct stat info {};
  if (::stat(std::string(path).c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::int64_t>(info.st_mtim.tv_sec);
}

}  // namespace zarn::platform
