#include "app/packed_file_date.h"

#include "common/exception.h"
#include "platform/file_age.h"
#include "platform/system.h"

namespace zarn {

std::int32_t PackFileDate(const CivilDateTime& local) {
  if (local.year < 1980 || local.year > 2107) return -1;
  const auto date =
      static_cast<std::uint32_t>(((local.year - 1980) << 9) | (local.month << 5) | local.day);
  const auto time =
      static_cast<std::uint32_t>((local.hour << 11) | (local.minute << 5) | (local.second / 2));
  return static_cast<std::int32_t>((date << 16) | time);
}

std::int32_t PackedFileDate(std::string_view path) {
  const auto local = platform::LastWriteLocalTime(path);
  return local ? PackFileDate(*local) : -1;
}

CivilDateTime UnpackFileDate(std::int32_t packed) {
  const auto bits = static_cast<std::uint32_t>(packed);
  CivilDateTime civil;
  civil.year = static_cast<int>(1980 + (bits >> 25));
  civil.month = static_cast<int>((bits >> 21) & 0x0F);
  civil.day = static_cast<int>((bits >> 16) & 0x1F);
  civil.hour = static_cast<int>((bits >> 11) & 0x1F);
  civil.minute = static_cast<int>((bits >> 5) & 0x3F);
  civil.second = static_cast<int>((bits & 0x1F) * 2);
  if (civil.month < 1 || civil.month > 12 || civil.day < 1 ||
      civil.day > DaysInMonth(civil.year, civil.month)) {
    throw EConvertError("Invalid argument to date encode");
  }
  if (civil.hour > 23 || civil.minute > 59 || civil.second > 59) {
    throw EConvertError("Invalid argument to time encode");
  }
  return civil;
}

std::string FormatPackedFileDate(std::int32_t packed) {
  const CivilDateTime civil = UnpackFileDate(packed);
  std::string text = platform::FormatShortDate(civil);
  if (civil.hour != 0 || civil.minute != 0 || civil.second != 0) {
    text += ' ';
    text += platform::FormatLongTime(civil);
  }
  return text;
}

}  // namespace zarn
