// The date-time value of the settings store and the file times: days since 30 December 1899 as
// the whole part, the time of day as the fraction, in local time.
#pragma once

#include <cstdint>

namespace zarn {

struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

using TDateTime = double;

TDateTime EncodeDateTime(const CivilDateTime& civil);
CivilDateTime DecodeDateTime(TDateTime value);

// The number of days of a month (1 to 12) in the proleptic Gregorian calendar.
int DaysInMonth(int year, int month);

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (negative before it).
std::int64_t DaysFromCivil(int year, int month, int day);

}  // namespace zarn
