// TSysInfo: the system facts of the update report. Nothing is cached: every property asks the
// system again when it is read.
#pragma once

#include <cstdint>
#include <string>

namespace zarn {

class TSysInfo {
 public:
  // The one text every property gives when the system cannot answer.
  static constexpr const char* kUnknown = "(Unknown)";

  std::string CurrentUser() const;
  // The "RegisteredOwner" value of the local machine's Windows version key: "(Unknown)" when the
  // key cannot be opened with full access, empty when the value is absent. A value that is not
  // a text raises ERegistryException.
  std::string RegisteredOwner() const;
  std::string Platform() const;
  // "major.minor" of the platform's version.
  std::string VersionWIN() const;
  std::string Computername() const;
  // Minutes to add to local standard time to get UTC.
  std::int32_t TimeZoneDiff() const;
};

}  // namespace zarn
