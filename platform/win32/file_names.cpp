// Path facts on Windows.
#include "platform/file_names.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

std::string ExpandFileName(std::string_view path) {
  const std::string name = path.empty() ? std::string(".") : std::string(path);
  char buffer[MAX_PATH * 2];
  const DWORD n = GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

bool IsLink(std::string_view path) {
  const DWORD attributes = GetFileAttributesA(std::string(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace zarn::platform
