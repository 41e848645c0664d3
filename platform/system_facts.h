// Facts about the user and the machine for the update report. Each is asked of the system afresh
// on every call; nullopt means the system could not answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zarn::platform {

// The name of the user running the program. Names of 63 characters or more do not fit the
// program's buffer and give nullopt.
std::optional<std::string> UserName();
inline constexpr std::size_t kUserNameRoom = 63;  // characters, the terminating NUL included

// The machine's name: at most 15 characters (Windows fails for a longer one, POSIX cuts the host
// name to that length).
std::optional<std::string> ComputerName();
inline constexpr std::size_t kComputerNameRoom = 16;

struct OsVersion {
  // "Win32s", "Windows 95" or "Windows NT" by the platform identifier on Windows, the kernel's
  // system name on POSIX; nullopt for a platform identifier the program does not know.
  std::optional<std::string> platform_name;
  // True for the Windows NT family; it chooses the registry key of the registered owner.
  bool nt_family = false;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};
OsVersion QueryOsVersion();

// Minutes to add to local standard time to get UTC: 300 five hours west of Greenwich, -60 one
// hour east. Daylight saving is not included.
std::int32_t TimeZoneBias();

}  // namespace zarn::platform
