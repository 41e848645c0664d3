// Path facts on POSIX.
#include "platform/file_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

namespace zarn::platform {

std::string ExpandFileName(std::string_view path) {
  std::string full;
  if (path.empty() || path.front() != '/') {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return {};
    full = buffer;
    full += '/';
  }
  full += path;
  // Folds "." and ".." and repeated delimiters, as text.
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += "/" + part;
  if (result.empty()) result.push_back('/');
  // A path that ended in a delimiter keeps it.
  if (result.size() > 1 && !path.empty() && path.back() == '/') result += '/';
  return result;
}

bool IsLink(std::string_view path) {
  struct stat info {};
  return ::lstat(std::string(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

}  // namespace zarn::platform
