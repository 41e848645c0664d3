// File times on Windows: the DOS date and time become a FILETIME as they stand (no local-to-UTC
// conversion) and go to the file as its last-write time.
#include "platform/file_times.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;

constexpr DWORD kNotRegular =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

std::int64_t Ticks(const FILETIME& time) {
  return (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTime(std::int64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffff);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
  return time;
}

// The change time of a file, from GetFileInformationByHandleEx (Vista and later; looked up at run
// time, since the program still starts on XP); 0 where it is missing or fails.
std::int64_t ChangeTime(const std::string& path) {
  struct BasicInfo {
    LARGE_INTEGER creation, last_access, last_write, change;
    DWORD attributes;
  };
  using Query = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
  if (query == nullptr) return 0;
  const HANDLE file =
      CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BasicInfo info{};
  constexpr int kFileBasicInfo = 0;
  const bool read = query(file, kFileBasicInfo, &info, sizeof info) != FALSE;
  CloseHandle(file);
  return read ? info.change.QuadPart : 0;
}

}  // namespace

std::optional<FileTimes> ReadFileTimes(std::string_view path) {
  const std::string name(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & kNotRegular) != 0) {
    return std::nullopt;
  }
  return FileTimes{Ticks(data.ftCreationTime), Ticks(data.ftLastWriteTime),
                   Ticks(data.ftLastAccessTime), ChangeTime(name)};
}

bool SetFileTimes(std::string_view path, std::optional<std::int64_t> creation,
                  std::optional<std::int64_t> last_write, std::optional<std::int64_t> last_access,
                  std::uint32_t& error) {
  const std::string name(path);
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotRegular) != 0) {
    error = ERROR_ACCESS_DENIED;
    return false;
  }
  const HANDLE file =
      CreateFileA(name.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  bool done = false;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    error = ERROR_ACCESS_DENIED;
  } else {
    const FILETIME created = FileTime(creation.value_or(0));
    const FILETIME accessed = FileTime(last_access.value_or(0));
    const FILETIME written = FileTime(last_write.value_or(0));
    done = SetFileTime(file, creation ? &created : nullptr, last_access ? &accessed : nullptr,
                       last_write ? &written : nullptr) != FALSE;
    if (!done) error = GetLastError();
  }
  CloseHandle(file);
  return done;
}

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
