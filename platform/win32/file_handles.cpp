// Open files addressed by handle on Windows: the handle is the file's HANDLE.
#include "platform/file_handles.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

HANDLE AsHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

FileHandle Opened(HANDLE handle, std::uint32_t& error) {
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return kInvalidFileHandle;
  }
  return reinterpret_cast<FileHandle>(handle);
}

}  // namespace

FileHandle OpenFileHandle(std::string_view path, FileAccess access, std::uint32_t& error) {
  const DWORD rights = access == FileAccess::kRead    ? GENERIC_READ
                       : access == FileAccess::kWrite ? GENERIC_WRITE
                                                      : GENERIC_READ | GENERIC_WRITE;
  return Opened(CreateFileA(std::string(path).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                error);
}

FileHandle CreateFileHandle(std::string_view path, std::uint32_t& error) {
  const std::string name(path);
  // CREATE_ALWAYS would write through a link; a link in the last place is refused instead.
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    error = ERROR_ACCESS_DENIED;
    return kInvalidFileHandle;
  }
  return Opened(
      CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
      error);
}

FileHandle OpenStreamFile(std::string_view path, StreamOpen mode, std::uint32_t& error) {
  // No security attributes: the handle is not inherited by child processes.
  const bool writes = mode != StreamOpen::kStreamRead;
  DWORD disposition = OPEN_EXISTING;
  if (mode == StreamOpen::kStreamCreate) disposition = CREATE_ALWAYS;
  if (mode == StreamOpen::kStreamUpdate) disposition = OPEN_ALWAYS;
  return Opened(
      CreateFileA(std::string(path).c_str(), writes ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                  writes ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                  FILE_ATTRIBUTE_NORMAL, nullptr),
      error);
}

bool SetFileHandleSize(FileHandle file, std::int64_t size, std::uint32_t& error) {
  LARGE_INTEGER zero{};
  LARGE_INTEGER here;
  LARGE_INTEGER end;
  end.QuadPart = size;
  if (!SetFilePointerEx(AsHandle(file), zero, &here, FILE_CURRENT) ||
      !SetFilePointerEx(AsHandle(file), end, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(AsHandle(file)) ||
      !SetFilePointerEx(AsHandle(file), here, nullptr, FILE_BEGIN)) {
    error = GetLastError();
    return false;
  }
  return true;
}

std::uint32_t ReadFileHandle(FileHandle file, void* buffer, std::uint32_t count,
                             std::uint32_t& error) {
  // Reads until the count is met or the file ends: a short read means the end of the file to
  // the cabinet readers.
  auto* bytes = static_cast<char*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    DWORD n = 0;
    if (!ReadFile(AsHandle(file), bytes + done, count - done, &n, nullptr)) {
      error = GetLastError();
      return static_cast<std::uint32_t>(-1);
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

std::uint32_t WriteFileHandle(FileHandle file, const void* buffer, std::uint32_t count,
                              std::uint32_t& error) {
  DWORD n = 0;
  if (!WriteFile(AsHandle(file), buffer, count, &n, nullptr)) {
    error = GetLastError();
    return static_cast<std::uint32_t>(-1);
  }
  if (n != count) {
    error = ERROR_DISK_FULL;
    return static_cast<std::uint32_t>(-1);
  }
  return n;
}

std::int64_t SeekFileHandle(FileHandle file, std::int64_t distance, SeekOrigin origin,
                            std::uint32_t& error) {
  const DWORD method = origin == SeekOrigin::kBegin ? FILE_BEGIN
                       : origin == SeekOrigin::kEnd ? FILE_END
                                                    : FILE_CURRENT;
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(AsHandle(file), move, &position, method)) {
    error = GetLastError();
    return -1;
  }
  return position.QuadPart;
}

bool CloseFileHandle(FileHandle file, std::uint32_t& error) {
  if (!CloseHandle(AsHandle(file))) {
    error = GetLastError();
    return false;
  }
  return true;
}

std::string SystemErrorText(std::uint32_t error) {
  char buffer[1025];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, buffer, sizeof buffer, nullptr);
  while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n')) --n;
  return std::string(buffer, n);
}

}  // namespace zarn::platform
