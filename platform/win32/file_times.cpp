// File times on Windows: the DOS date and time become a FILETIME as they stand (no local-to-UTC
// conversion) and go to the file as its last-write time.
#include "platform/file_times.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;

}  // namespace

bool SetLastWriteTimeFromDos(FileHandle file, std::uint16_t dos_date, std::uint16_t dos_time,
                             std::uint32_t& error) {
  FILETIME written;
  if (!DosDateTimeToFileTime(dos_date, dos_time, &written)) {
    error = GetLastError();
    return false;
  }
  if (!SetFileTime(reinterpret_cast<HANDLE>(file), nullptr, nullptr, &written)) {
    error = GetLastError();
    return false;
  }
  return true;
}

std::optional<std::int64_t> LastWriteTimeSeconds(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(std::string(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  const std::int64_t ticks =
      (static_cast<std::int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  return (ticks - kUnixEpochInFileTime) / 10000000;
}

}  // namespace zarn::platform
