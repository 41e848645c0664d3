#include "platform/posix/local_time.h"

namespace zarn::platform {

std::optional<CivilDateTime> LocalCivilTime(const struct timespec& moment) {
  struct tm parts {};
  if (localtime_r(&moment.tv_sec, &parts) == nullptr) return std::nullopt;
  CivilDateTime c;
  c.year = parts.tm_year + 1900;
  c.month = parts.tm_mon + 1;
  c.day = parts.tm_mday;
  c.hour = parts.tm_hour;
  c.minute = parts.tm_min;
  c.second = parts.tm_sec;
  c.millisecond = static_cast<int>(moment.tv_nsec / 1000000);
  return c;
}

}  // namespace zarn::platform
