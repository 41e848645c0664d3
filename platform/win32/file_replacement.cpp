// Replacing an installed file on Windows: the copy is written to a temporary file beside the
// target, flushed, and moved over the target with MoveFileExA (replace existing, write through).
// The target is first opened for writing, as the system's file copy would open it, so that a
// read-only target fails with ERROR_ACCESS_DENIED and one held open without sharing with
// ERROR_SHARING_VIOLATION before anything is written.
#include "platform/file_replacement.h"

#include <atomic>
#include <string>

#include "platform/win32/owned_handle.h"
#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

constexpr DWORD kNotRegular =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

// The temporary file: deleted when it goes unless it was moved into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) DeleteFileA(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

bool Fail(DWORD code, std::uint32_t& error) {
  error = code;
  return false;
}

bool CopyData(HANDLE from, HANDLE to) {
  static constexpr DWORD kChunk = 64 * 1024;
  std::string buffer(kChunk, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from, buffer.data(), kChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    DWORD written = 0;
    if (!WriteFile(to, buffer.data(), read, &written, nullptr)) return false;
    if (written != read) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
  }
}

std::string TemporaryName(const std::string& folder, const std::string& name) {
  static std::atomic<unsigned> counter{0};
  return folder + "~" + name + "." + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(counter++) + ".tmp";
}

}  // namespace

bool ReplaceFileWithCopy(std::string_view source, std::string_view target, std::uint32_t& error) {
  const std::string target_path(target);
  const DWORD attributes = GetFileAttributesA(target_path.c_str());
  const bool target_exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!target_exists && GetLastError() != ERROR_FILE_NOT_FOUND) return Fail(GetLastError(), error);
  FILETIME created{};
  if (target_exists) {
    // A read-only file refuses the copy, as the system's file copy refuses it (and as Wine, run
    // by a privileged user, would not by itself).
    if ((attributes & (kNotRegular | FILE_ATTRIBUTE_READONLY)) != 0) {
      return Fail(ERROR_ACCESS_DENIED, error);
    }
    win32::OwnedHandle old(CreateFileA(target_path.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!old.Valid()) return Fail(GetLastError(), error);
    GetFileTime(old.Get(), &created, nullptr, nullptr);
  }

  const std::string source_path(source);
  const DWORD source_attributes = GetFileAttributesA(source_path.c_str());
  if (source_attributes == INVALID_FILE_ATTRIBUTES) return Fail(GetLastError(), error);
  if ((source_attributes & kNotRegular) != 0) return Fail(ERROR_ACCESS_DENIED, error);
  win32::OwnedHandle input(CreateFileA(source_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!input.Valid()) return Fail(GetLastError(), error);
  FILETIME written{};
  if (!GetFileTime(input.Get(), nullptr, nullptr, &written)) return Fail(GetLastError(), error);

  const std::size_t cut = target_path.find_last_of("\\/");
  const std::string folder =
      cut == std::string::npos ? std::string() : target_path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? target_path : target_path.substr(cut + 1);
  TemporaryFile temporary(TemporaryName(folder, name));
  win32::OwnedHandle output(CreateFileA(temporary.Path().c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output.Valid()) return Fail(GetLastError(), error);
  if (!CopyData(input.Get(), output.Get())) return Fail(GetLastError(), error);
  // An installed file keeps its creation time; every copy takes the source's last-write time.
  if (!SetFileTime(output.Get(), target_exists ? &created : nullptr, nullptr, &written) ||
      !FlushFileBuffers(output.Get()) || !output.Close()) {
    return Fail(GetLastError(), error);
  }
  if (!MoveFileExA(temporary.Path().c_str(), target_path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return Fail(GetLastError(), error);
  }
  temporary.Keep();
  return true;
}

}  // namespace zarn::platform
