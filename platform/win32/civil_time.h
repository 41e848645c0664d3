// Conversions between the system's SYSTEMTIME and the program's civil date-time.
#pragma once

#include "common/date_time.h"
#include "platform/win32/windows_api.h"

namespace zarn::platform::win32 {

CivilDateTime FromSystemTime(const SYSTEMTIME& time);
// Fills in the day of the week as well, which long date formats show.
SYSTEMTIME ToSystemTime(const CivilDateTime& when);

}  // namespace zarn::platform::win32
