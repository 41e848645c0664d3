// Packed file dates: a local date and time in the 32-bit MS-DOS format (high half the date: years
// since 1980 in bits 9-15, month in bits 5-8, day in bits 0-4; low half the time: hours in bits
// 11-15, minutes in bits 5-10, seconds / 2 in bits 0-4). The manifest lists files that carry no
// version text by this number in decimal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/date_time.h"

namespace zarn {

// -1 when the date lies outside the years 1980 to 2107 that the format can hold.
std::int32_t PackFileDate(const CivilDateTime& local);

// The packed date of a file's last write, or -1 when it cannot be read.
std::int32_t PackedFileDate(std::string_view path);

// Raises EConvertError "Invalid argument to date encode" for a month or day out of range and
// "Invalid argument to time encode" for an hour, minute or second out of range.
CivilDateTime UnpackFileDate(std::int32_t packed);

// The user's short date, a blank and the user's long time; the time is left out at midnight.
std::string FormatPackedFileDate(std::int32_t packed);

}  // namespace zarn
