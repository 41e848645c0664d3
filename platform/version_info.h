// The version resource of an executable file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zarn::platform {

struct Translation {
  std::uint16_t language = 0;
  std::uint16_t code_page = 0;
};

class VersionInfo {
 public:
  // nullptr when the file has no version information (or cannot be read). On POSIX the program's
  // own executable answers from compiled-in data.
  static std::unique_ptr<VersionInfo> Load(std::string_view path);

  virtual ~VersionInfo() = default;
  // The first entry of "\VarFileInfo\Translation", if there is one.
  virtual std::optional<Translation> FirstTranslation() = 0;
  // A string value such as "\StringFileInfo\040904B0\FileVersion"; nullopt when not found.
  virtual std::optional<std::string> QueryString(std::string_view sub_block) = 0;
};

}  // namespace zarn::platform
