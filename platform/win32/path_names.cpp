// Path names on Windows: full paths, drives, the long names of folder entries and links.
#include "platform/path_names.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

std::optional<std::string> FullPathName(std::string_view path) {
  const std::string name(path);
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetFullPathNameA(name.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

std::size_t DriveLength(std::string_view full_path) {
  if (full_path.size() >= 2 && full_path[1] == ':') return 2;
  if (full_path.size() >= 2 && full_path[0] == '\\' && full_path[1] == '\\') {
    // "\\server\share": up to the delimiter after the share name, or the end.
    const std::size_t server_end = full_path.find('\\', 2);
    if (server_end == std::string_view::npos) return full_path.size();
    const std::size_t share_end = full_path.find('\\', server_end + 1);
    return share_end == std::string_view::npos ? full_path.size() : share_end;
  }
  return 0;
}

std::optional<std::string> FindEntryName(std::string_view path) {
  const std::string name(path);
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(name.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  FindClose(search);
  return std::string(found.cFileName);
}

bool IsLink(std::string_view path) {
  const DWORD attributes = GetFileAttributesA(std::string(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace zarn::platform
