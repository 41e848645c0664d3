#include "platform/win32/civil_time.h"

namespace zarn::platform::win32 {

CivilDateTime FromSystemTime(const SYSTEMTIME& time) {
  CivilDateTime civil;
  civil.year = time.wYear;
  civil.month = time.wMonth;
  civil.day = time.wDay;
  civil.hour = time.wHour;
  civil.minute = time.wMinute;
  civil.second = time.wSecond;
  civil.millisecond = time.wMilliseconds;
  return civil;
}

SYSTEMTIME ToSystemTime(const CivilDateTime& when) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(when.year);
  time.wMonth = static_cast<WORD>(when.month);
  time.wDay = static_cast<WORD>(when.day);
  time.wHour = static_cast<WORD>(when.hour);
  time.wMinute = static_cast<WORD>(when.minute);
  time.wSecond = static_cast<WORD>(when.second);
  time.wMilliseconds = static_cast<WORD>(when.millisecond);
  // A round trip through the file time fills in the day of the week.
  FILETIME file_time{};
  if (SystemTimeToFileTime(&time, &file_time)) FileTimeToSystemTime(&file_time, &time);
  return time;
}

}  // namespace zarn::platform::win32
