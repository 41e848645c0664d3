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

// A file's three times in 100-nanosecond intervals since 1601-01-01 00:00 UTC (the Windows form).
struct FileTimes {
  std::int64_t creation = 0;
  std::int64_t last_write = 0;
  std::int64_t last_access = 0;
  // The last change of the file's data or attributes; 0 where the system cannot tell.
  std::int64_t change = 0;
};

// The times of a regular file (a link is not followed, and anything but a regular file is
// refused); nullopt when there is none or they cannot be read. POSIX files have no creation time
// of their own: the birth time stands for it where the file system records one (statx), else the
// time of the last status change.
std::optional<FileTimes> ReadFileTimes(std::string_view path);

// Sets the times of a regular file (refused like ReadFileTimes); a time left empty stays. POSIX
// cannot set a birth time: the creation time given is skipped and counts as set.
bool SetFileTimes(std::string_view path, std::optional<std::int64_t> creation,
                  std::optional<std::int64_t> last_write, std::optional<std::int64_t> last_access,
                  std::uint32_t& error);

// The last-write time of a file in whole seconds since 1970-01-01 00:00 UTC.
std::optional<std::int64_t> LastWriteTimeSeconds(std::string_view path);

}  // namespace zarn::platform
