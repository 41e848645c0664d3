// The date-time value of the settings store and the file times: days since 30 December 1899 as
// the whole part, the time of day as the fraction, in local time.
#pragma once

#include <cstdint>
#include <optional>

namespace zarn {

struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

using TDateTime = double;

TDateTime EncodeDateTime(const CivilDateTime& civil);
CivilDateTime DecodeDateTime(TDateTime value);

// An MS-DOS date and time: the date holds the years since 1980 in bits 9-15, the month in bits
// 5-8 and the day in bits 0-4; the time the hours in bits 11-15, the minutes in bits 5-10 and the
// seconds / 2 in bits 0-4.
struct DosDateTime {
  std::uint16_t date = 0;
  std::uint16_t time = 0;
};

// Packs the fields as they stand (odd seconds round down); none when the year lies outside the
// years 1980 to 2107 that the format can hold.
std::optional<DosDateTime> PackDosDateTime(const CivilDateTime& civil);
// Unpacks the fields as they stand, unchecked: a month of 0 or 13 stays so (see ValidDate).
CivilDateTime UnpackDosDateTime(DosDateTime packed);

// Whether the date (month 1 to 12, day within the month) and the time of day (hour 0 to 23,
// minute and second 0 to 59) name a real moment.
bool ValidDate(const CivilDateTime& civil);
bool ValidTime(const CivilDateTime& civil);

// The number of days of a month (1 to 12) in the proleptic Gregorian calendar.
int DaysInMonth(int year, int month);

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (negative before it).
std::int64_t DaysFromCivil(int year, int month, int day);

}  // namespace zarn
