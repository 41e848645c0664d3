// Path names on POSIX: names are stored as written, so an existing entry's name is the one asked
// for; only relative paths and "." and ".." need work.
#include "platform/path_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace zarn::platform {

std::optional<std::string> FullPathName(std::string_view path) {
  if (path.empty()) return std::nullopt;
  std::string absolute;
  if (path.front() != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return std::nullopt;
    absolute = std::string(cwd) + "/";
  }
  absolute += path;

  std::vector<std::string_view> parts;
  std::string_view rest = absolute;
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string full;
  for (const std::string_view part : parts) {
    full += '/';
    full += part;
  }
  if (full.empty() || path.back() == '/') full += '/';
  return full;
}

std::size_t DriveLength(std::string_view) {
  return 0;
}

std::optional<std::string> FindEntryName(std::string_view path) {
  struct stat info {};
  if (::lstat(std::string(path).c_str(), &info) != 0) return std::nullopt;
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsLink(std::string_view path) {
  struct stat info {};
  return ::lstat(std::string(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

}  // namespace zarn::platform
