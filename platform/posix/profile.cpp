// The private-profile reader on POSIX: the file is read whole on every call, and parsed again
// only when its bytes differ from the last file parsed. The update pass looks up every key of its
// manifest, so parsing on each look-up would make a large manifest cost time that grows with the
// square of its size.
#include "platform/profile.h"

#include <algorithm>
#include <fstream>
#include <optional>

#include "platform/posix/ini_document.h"

namespace zarn::platform {

namespace {

// An unreadable or missing file reads as an empty one: every look-up gives the default. The
// document stays valid until the next call.
const IniDocument& LoadDocument(std::string_view path) {
  static std::string parsed_bytes;
  static std::optional<IniDocument> parsed;
  std::string bytes;
  if (std::ifstream file{std::string(path), std::ios::binary | std::ios::ate}) {
    bytes.resize(static_cast<std::size_t>(std::max<std::streamoff>(file.tellg(), 0)));
    file.seekg(0);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
  }
  if (!parsed || bytes != parsed_bytes) {
    parsed = IniDocument::Parse(bytes);
    parsed_bytes = std::move(bytes);
  }
  return *parsed;
}

}  // namespace

std::string ReadProfileString(std::string_view path, std::string_view section, std::string_view key,
                              std::string_view default_value, std::size_t buffer_size) {
  const IniDocument& document = LoadDocument(path);
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
