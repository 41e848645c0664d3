#include "common/date_time.h"

#include <cmath>

namespace zarn {

namespace {

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

constexpr std::int64_t kDaysFrom1899To1970 = 25569;
constexpr double kMsPerDay = 86400000.0;

}  // namespace

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// After H. Hinnant's days-from-civil algorithm.
std::int64_t DaysFromCivil(int year, int month, int day) {
  std::int64_t y = year;
  const auto m = static_cast<unsigned>(month);
  const auto d = static_cast<unsigned>(day);
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

TDateTime EncodeDateTime(const CivilDateTime& c) {
  const std::int64_t days = DaysFromCivil(c.year, c.month, c.day) + kDaysFrom1899To1970;
  const double ms = ((c.hour * 60.0 + c.minute) * 60.0 + c.second) * 1000.0 + c.millisecond;
  // Before the epoch the fraction still counts forward within the day.
  return days >= 0 ? static_cast<double>(days) + ms / kMsPerDay
                   : static_cast<double>(days) - ms / kMsPerDay;
}

CivilDateTime DecodeDateTime(TDateTime value) {
  CivilDateTime c;
  const double whole = std::trunc(value);
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * kMsPerDay));
  auto days = static_cast<std::int64_t>(whole);
  if (ms >= static_cast<std::int64_t>(kMsPerDay)) {
    // A time that rounds up to midnight is the start of the next day on either side of the
    // epoch: before it the fraction still counts forward within the day.
    ms -= static_cast<std::int64_t>(kMsPerDay);
    days += 1;
  }
  CivilFromDays(days - kDaysFrom1899To1970, c.year, c.month, c.day);
  c.millisecond = static_cast<int>(ms % 1000);
  c.second = static_cast<int>(ms / 1000 % 60);
  c.minute = static_cast<int>(ms / 60000 % 60);
  c.hour = static_cast<int>(ms / 3600000);
  return c;
}

std::optional<DosDateTime> PackDosDateTime(const CivilDateTime& c) {
  if (c.year < 1980 || c.year > 2107) return std::nullopt;
  DosDateTime packed;
  packed.date = static_cast<std::uint16_t>(((c.year - 1980) << 9) | (c.month << 5) | c.day);
  packed.time = static_cast<std::uint16_t>((c.hour << 11) | (c.minute << 5) | (c.second / 2));
  return packed;
}

CivilDateTime UnpackDosDateTime(DosDateTime packed) {
  CivilDateTime c;
  c.year = 1980 + (packed.date >> 9);
  c.month = (packed.date >> 5) & 0x0F;
  c.day = packed.date & 0x1F;
  c.hour = packed.time >> 11;
  c.minute = (packed.time >> 5) & 0x3F;
  c.second = (packed.time & 0x1F) * 2;
  return c;
}

bool ValidDate(const CivilDateTime& c) {
  return c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= DaysInMonth(c.year, c.month);
}

bool ValidTime(const CivilDateTime& c) {
  return c.hour >= 0 && c.hour <= 23 && c.minute >= 0 && c.minute <= 59 && c.second >= 0 &&
         c.second <= 59;
}

}  // namespace zarn
