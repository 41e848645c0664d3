#include "platform/file_age.h"

#include <sys/stat.h>

#include <string>

#include "platform/posix/local_time.h"

namespace zarn::platform {

std::optional<CivilDateTime> LastWriteLocalTime(std::string_view path) {
  struct stat info {};
  if (::stat(std::string(path).c_str(), &info) != 0) return std::nullopt;
  return LocalCivilTime(info.st_mtim);
}

}  // namespace zarn::platform
