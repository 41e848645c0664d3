// The private-profile reader on POSIX: the file is read whole and parsed on every call, as the
// manifest is small and read a few dozen times per session.
#include "platform/profile.h"

#include <fstream>
#include <iterator>

#include "platform/posix/ini_document.h"

namespace zarn::platform {

namespace {

// An unreadable or missing file reads as an empty one: every look-up gives the default.
IniDocument LoadDocument(std::string_view path) {
  std::ifstream file{std::string(path), std::ios::binary};
  if (!file) return IniDocument::Parse({});
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  return IniDocument::Parse(bytes);
}

}  // namespace

std::string ReadProfileString(std::string_view path, std::string_view section, std::string_view key,
                              std::string_view default_value, std::size_t buffer_size) {
  const IniDocument document = LoadDocument(path);
  if (const std::string* value = document.FindValue(section, key)) {
    return CopyProfileValue(*value, buffer_size);
  }
  return CopyProfileDefault(default_value, buffer_size);
}

std::string ReadProfileKeyBlock(std::string_view path, std::string_view section,
                                std::size_t buffer_size) {
  return CutKeyBlock(LoadDocument(path).ListedKeys(section), buffer_size);
}

}  // namespace zarn::platform
