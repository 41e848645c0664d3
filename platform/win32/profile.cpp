// The private-profile reader on Windows: GetPrivateProfileStringA, and its section-keys form (no
// key name), into buffers of the caller's size.
#include "platform/profile.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

// Calls the reader with a buffer of buffer_size characters; the result is the count it returns.
std::string ReadIntoBuffer(std::string_view path, std::string_view section, const char* key,
                           const char* default_value, std::size_t buffer_size) {
  if (buffer_size == 0) return {};
  const std::string file(path);
  const std::string section_name(section);
  std::vector<char> buffer(buffer_size, '\0');
  const DWORD count =
      GetPrivateProfileStringA(section_name.c_str(), key, default_value, buffer.data(),
                               static_cast<DWORD>(buffer_size), file.c_str());
  return std::string(buffer.data(), count < buffer_size ? count : buffer_size - 1);
}

}  // namespace

std::string ReadProfileString(std::string_view path, std::string_view section, std::string_view key,
                              std::string_view default_value, std::size_t buffer_size) {
  const std::string key_name(key);
  const std::string fallback(default_value);
  return ReadIntoBuffer(path, section, key_name.c_str(), fallback.c_str(), buffer_size);
}

std::string ReadProfileKeyBlock(std::string_view path, std::string_view section,
                                std::size_t buffer_size) {
  return ReadIntoBuffer(path, section, nullptr, "", buffer_size);
}

}  // namespace zarn::platform
