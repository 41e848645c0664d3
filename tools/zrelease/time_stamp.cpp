// "Time Of Update" stamps in minutes since 2000.
#include "tools/zrelease/time_stamp.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

namespace zarn::release {

std::optional<std::int32_t> ParseTimeOfUpdate(std::string_view text) {
  std::int64_t number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (!text.empty() && ec == std::errc() && end == text.data() + text.size()) {
    if (number < 0 || number > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(number);
  }
  std::tm fields{};
  char separator = 0;
  int consumed = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &fields.tm_year, &fields.tm_mon,
                  &fields.tm_mday, &separator, &fields.tm_hour, &fields.tm_min, &consumed) != 6 ||
      static_cast<std::size_t>(consumed) != copy.size() || (separator != 'T' && separator != ' ') ||
      fields.tm_mon < 1 || fields.tm_mon > 12 || fields.tm_mday < 1 || fields.tm_mday > 31 ||
      fields.tm_hour > 23 || fields.tm_min > 59 || fields.tm_hour < 0 || fields.tm_min < 0) {
    return std::nullopt;
  }
  // The calendar arithmetic of <chrono> is the same on every back end (Windows has no timegm),
  // and it refuses days a month does not have instead of rolling them over.
  namespace chrono = std::chrono;
  const chrono::year_month_day date{chrono::year(fields.tm_year),
                                    chrono::month(static_cast<unsigned>(fields.tm_mon)),
                                    chrono::day(static_cast<unsigned>(fields.tm_mday))};
  if (!date.ok()) return std::nullopt;
  const auto moment =
      chrono::sys_days(date) + chrono::hours(fields.tm_hour) + chrono::minutes(fields.tm_min);
  return TimeOfUpdateAt(static_cast<std::time_t>(
      chrono::duration_cast<chrono::seconds>(moment.time_since_epoch()).count()));
}

std::string FormatTimeOfUpdate(std::int32_t stamp) {
  namespace chrono = std::chrono;
  const auto moment = chrono::sys_days(chrono::year(2000) / 1 / 1) + chrono::minutes(stamp);
  const auto day = chrono::floor<chrono::days>(moment);
  const chrono::year_month_day date(day);
  const auto minutes = chrono::duration_cast<chrono::minutes>(moment - day).count();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
  return text;
}

}  // namespace zarn::release
