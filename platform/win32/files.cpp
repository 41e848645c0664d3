// Files and folders on Windows, through the ANSI file functions.
#include "platform/files.h"

#include <algorithm>
#include <string>

#include "platform/win32/owned_handle.h"
#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

DWORD Attributes(std::string_view path) {
  return GetFileAttributesA(std::string(path).c_str());
}

// A search handle of FindFirstFileA, closed when it goes.
class Search {
 public:
  Search(const std::string& pattern, WIN32_FIND_DATAA& found)
      : handle_(FindFirstFileA(pattern.c_str(), &found)) {}
  ~Search() {
    if (Valid()) FindClose(handle_);
  }
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA& found) { return FindNextFileA(handle_, &found) != FALSE; }

 private:
  HANDLE handle_;
};

}  // namespace

char PathDelimiter() {
  return '\\';
}
bool FileNamesIgnoreCase() {
  return true;
}

std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // cut off: try again with more room
  }
}

bool FileExists(std::string_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool RegularFileExists(std::string_view path) {
  constexpr DWORD kNotRegular =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotRegular) == 0;
}

bool DirectoryExists(std::string_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolder(std::string_view path) {
  return CreateDirectoryA(std::string(path).c_str(), nullptr) != FALSE;
}

bool EnsurePrivateFolder(std::string_view path) {
  const std::string p(path);
  if (CreateDirectoryA(p.c_str(), nullptr) != FALSE) return true;
  const DWORD attributes = GetFileAttributesA(p.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool RemoveFolder(std::string_view path) {
  return RemoveDirectoryA(std::string(path).c_str()) != FALSE;
}

bool DeleteFile(std::string_view path) {
  return DeleteFileA(std::string(path).c_str()) != FALSE;
}

bool RenameFile(std::string_view from, std::string_view to, std::uint32_t& error) {
  if (MoveFileA(std::string(from).c_str(), std::string(to).c_str())) return true;
  error = GetLastError();
  return false;
}

std::optional<std::uint64_t> FreeDiskSpace(std::string_view folder) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExA(std::string(folder).c_str(), &available, nullptr, nullptr)) {
    return std::nullopt;
  }
  return available.QuadPart;
}

std::vector<std::string> ListPlainFiles(std::string_view folder) {
  std::string pattern(folder);
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += "*.*";
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  Search search(pattern, found);
  if (!search.Valid()) return names;
  constexpr DWORD kSkipped =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((found.dwFileAttributes & kSkipped) == 0) names.emplace_back(found.cFileName);
  } while (search.Next(found));
  return names;
}

std::vector<FolderEntry> ListFolderEntries(std::string_view folder) {
  std::string pattern(folder);
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += "*";
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAA found{};
  Search search(pattern, found);
  if (!search.Valid()) return entries;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool directory = !link && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back({name, directory, link});
  } while (search.Next(found));
  return entries;
}

bool RemoveLink(std::string_view path) {
  const std::string p(path);
  const DWORD attributes = Attributes(p);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return false;
  }
  // A folder junction or link goes as a folder does; the folder it leads to stays.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return RemoveDirectoryA(p.c_str()) != FALSE;
  return DeleteFileA(p.c_str()) != FALSE;
}

bool WriteWholeFile(std::string_view path, std::span<const char> bytes, std::uint32_t& error) {
  win32::OwnedHandle file(CreateFileA(std::string(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    error = GetLastError();
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      error = GetLastError();
      return false;
    }
    done += written;
  }
  if (!file.Close()) {
    error = GetLastError();
    return false;
  }
  return true;
}

bool SetReadOnly(std::string_view path, bool read_only) {
  const std::string p(path);
  const DWORD attributes = GetFileAttributesA(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  DWORD changed = read_only ? (attributes | FILE_ATTRIBUTE_READONLY)
                            : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (changed == 0) changed = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(p.c_str(), changed) != FALSE;
}

bool TakePermissionsOf(std::string_view, std::string_view) {
  return true;
}

}  // namespace zarn::platform
