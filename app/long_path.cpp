#include "app/long_path.h"

#include "platform/files.h"
#include "platform/path_names.h"

namespace zarn {

std::string ExpandLongPath(std::string_view path) {
  const auto full = platform::FullPathName(path);
  if (!full) return std::string(path);
  const char delimiter = platform::PathDelimiter();
  const std::size_t drive = platform::DriveLength(*full);
  std::string result = full->substr(0, drive);
  if (full->size() <= drive) return result;

  std::string_view rest = std::string_view(*full).substr(drive);
  if (rest.front() == delimiter) {
    result += delimiter;
    rest.remove_prefix(1);
  }
  while (!rest.empty()) {
    const auto end = rest.find(delimiter);
    const auto name = platform::FindEntryName(result + std::string(rest.substr(0, end)));
    if (!name) {
      result += rest;
      break;
    }
    result += *name;
    if (end == std::string_view::npos) break;
    result += delimiter;
    rest.remove_prefix(end + 1);
  }
  return result;
}

}  // namespace zarn
