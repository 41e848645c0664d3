// The last-write time of a file, converted to local time the way the file system's own tools do.
#include "platform/file_age.h"

#include <string>

#include "platform/win32/civil_time.h"
#include "platform/win32/windows_api.h"

namespace zarn::platform {

std::optional<CivilDateTime> LastWriteLocalTime(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(std::string(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  FILETIME local{};
  SYSTEMTIME parts{};
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToSystemTime(&local, &parts)) {
    return std::nullopt;
  }
  return win32::FromSystemTime(parts);
}

}  // namespace zarn::platform
