// User and machine facts on POSIX: the password database, uname and the C library's time zone.
#include "platform/system_facts.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace zarn::platform {

namespace {

// Parses the leading decimal number of text at pos and moves pos past it; 0 when there is none.
std::uint32_t LeadingNumber(const char* text, std::size_t& pos) {
  std::uint32_t value = 0;
  while (text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + static_cast<std::uint32_t>(text[pos] - '0');
    ++pos;
  }
  return value;
}

// The offset east of UTC, in seconds, of local standard time at `when`; nullopt when daylight
// saving is in force then.
std::optional<long> StandardOffsetAt(time_t when) {
  struct tm parts {};
  if (localtime_r(&when, &parts) == nullptr || parts.tm_isdst > 0) return std::nullopt;
  return parts.tm_gmtoff;
}

}  // namespace

std::optional<std::string> UserName() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return std::nullopt;
  std::string name = found->pw_name;
  if (name.size() + 1 > kUserNameRoom) return std::nullopt;
  return name;
}

std::optional<std::string> ComputerName() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return std::nullopt;
  std::string name = host;
  if (name.size() > kComputerNameRoom - 1) name.resize(kComputerNameRoom - 1);
  return name;
}

OsVersion QueryOsVersion() {
  OsVersion version;
  struct utsname names {};
  if (uname(&names) != 0) return version;
  version.platform_name = names.sysname;
  // The answers stand in for a current Windows, whose registered owner lives under "Windows NT".
  version.nt_family = true;
  std::size_t pos = 0;
  version.major = LeadingNumber(names.release, pos);
  if (names.release[pos] == '.') {
    ++pos;
    version.minor = LeadingNumber(names.release, pos);
  }
  return version;
}

std::int32_t TimeZoneBias() {
  tzset();  // the zone may have changed since the last call (TZ)
  const time_t now = time(nullptr);
  // Now, or else whichever half of the year is outside daylight saving.
  std::optional<long> offset = StandardOffsetAt(now);
  if (!offset) offset = StandardOffsetAt(now - 182 * 86400);
  if (!offset) offset = StandardOffsetAt(now + 182 * 86400);
  const long east = offset ? *offset : -timezone;
  return static_cast<std::int32_t>(-east / 60);
}

}  // namespace zarn::platform
