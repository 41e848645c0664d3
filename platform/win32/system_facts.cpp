// User and machine facts on Windows.
#include "platform/system_facts.h"

#include "platform/win32/windows_api.h"

namespace zarn::platform {

std::optional<std::string> UserName() {
  char name[kUserNameRoom];
  DWORD size = sizeof name;
  // The count includes the terminating NUL; a longer name fails for want of room.
  if (!GetUserNameA(name, &size) || size == 0) return std::nullopt;
  return std::string(name, size - 1);
}

std::optional<std::string> ComputerName() {
  char name[kComputerNameRoom];
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return std::nullopt;
  return std::string(name, size);
}

OsVersion QueryOsVersion() {
  OsVersion version;
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return version;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      version.platform_name = "Win32s";
      break;
    case VER_PLATFORM_WIN32_WINDOWS:
      version.platform_name = "Windows 95";
      break;
    case VER_PLATFORM_WIN32_NT:
      version.platform_name = "Windows NT";
      break;
    default:
      break;
  }
  version.nt_family = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  return version;
}

std::int32_t TimeZoneBias() {
  TIME_ZONE_INFORMATION zone{};
  GetTimeZoneInformation(&zone);
  return static_cast<std::int32_t>(zone.Bias);
}

}  // namespace zarn::platform
