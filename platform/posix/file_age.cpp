#include "platform/file_age.h"

#include <sys/stat.h>
#include <time.h>

#include <string>

namespace zarn::platform {

std::optional<CivilDateTime> LastWriteLocalTime(std::string_view path) {
  struct stat info {};
  if (::stat(std::string(path).c_str(), &info) != 0) return std::nullopt;
  struct tm parts {};
  if (localtime_r(&info.st_mtime, &parts) == nullptr) return std::nullopt;
  CivilDateTime local;
  local.year = parts.tm_year + 1900;
  local.month = parts.tm_mon + 1;
  local.day = parts.tm_mday;
  local.hour = parts.tm_hour;
  local.minute = parts.tm_min;
  local.second = parts.tm_sec;
  local.millisecond = static_cast<int>(info.st_mtim.tv_nsec / 1000000);
  return local;
}

}  // namespace zarn::platform
