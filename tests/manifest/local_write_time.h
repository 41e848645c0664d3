// Setting a file's last-write time from a local date and time, as the manifest's date checks see
// it.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

#include "common/date_time.h"

namespace zarn::test {

// Gives the file a last-write time stated in local time, through the C library's own idea of the
// local zone (the one the platform's file times are converted with).
inline void SetLocalWriteTime(const std::string& path, const CivilDateTime& local) {
  std::tm parts{};
  parts.tm_year = local.year - 1900;
  parts.tm_mon = local.month - 1;
  parts.tm_mday = local.day;
  parts.tm_hour = local.hour;
  parts.tm_min = local.minute;
  parts.tm_sec = local.second;
  parts.tm_isdst = -1;
  const auto when = std::chrono::system_clock::from_time_t(std::mktime(&parts));
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(when));
}

}  // namespace zarn::test
