#include "tests/support/build_files.h"

#include <algorithm>

#include "platform/files.h"

namespace zarn::test {

std::string BuildFolderFile(std::string_view relative) {
  std::string path = std::string(ZARN_BINARY_DIR) + "/" + std::string(relative);
  if (platform::PathDelimiter() == '\\') {
    if (path.front() == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
  }
  return path;
}

}  // namespace zarn::test
