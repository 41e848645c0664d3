// File times. The cabinet format stores a file's time as an MS-DOS date and time; extracted files
// take it as their last-write time as it stands, with no conversion from local time to UTC.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/file_handles.h"

namespace zarn::platform {

// Sets the last-write time of an open file from a DOS date and time read as UTC; creation and
// last-access times stay. False (and nothing set) for a date or time that names no real moment.
bool SetLastWriteTimeFromDos(FileHandle file, std::uint16_t dos_date, std::uint16_t dos_time,
                             std::uint32_t& error);

// The last-write time of a file in whole seconds since 1970-01-01 00:00 UTC.
std::optional<std::int64_t> LastWriteTimeSeconds(std::string_view path);

}  // namespace zarn::platform
