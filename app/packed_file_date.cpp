#include "app/packed_file_date.h"

#include "common/exception.h"
#include "platform/file_age.h"
#include "platform/system.h"

namespace zarn {

std::int32_t PackFileDate(const CivilDateTime& local) {
  const auto packed = PackDosDateTime(local);
  if (!packed) return -1;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(packed->date) << 16 | packed->time);
}

std::int32_t PackedFileDate(std::string_view path) {
  const auto local = platform::LastWriteLocalTime(path);
  return local ? PackFileDate(*local) : -1;
}

CivilDateTime UnpackFileDate(std::int32_t packed) {
  const auto bits = static_cast<std::uint32_t>(packed);
  const CivilDateTime civil = UnpackDosDateTime(
      {static_cast<std::uint16_t>(bits >> 16), static_cast<std::uint16_t>(bits & 0xFFFF)});
  if (!ValidDate(civil)) throw EConvertError("Invalid argument to date encode");
  if (!ValidTime(civil)) throw EConvertError("Invalid argument to time encode");
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
