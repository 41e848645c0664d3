// Version information on POSIX. The program's own executable answers from the version compiled
// in from the project definition, with the same keys and translation the Windows resource has.
#include "platform/version_info.h"

#include <array>
#include <utility>

#include "platform/files.h"
#include "zarn_version.h"

namespace zarn::platform {

namespace {

constexpr Translation kOwnTranslation{0x0409, 1200};

class CompiledInVersionInfo final : public VersionInfo {
 public:
  std::optional<Translation> FirstTranslation() override { return kOwnTranslation; }

  std::optional<std::string> QueryString(std::string_view sub_block) override {
    static const std::array<std::pair<const char*, const char*>, 9> kStrings{{
        {"\\StringFileInfo\\040904B0\\CompanyName", "Brenicsoft"},
        {"\\StringFileInfo\\040904B0\\FileDescription", "ZARN 4 Program Update"},
        {"\\StringFileInfo\\040904B0\\FileVersion", ZARN_VERSION_TEXT},
        {"\\StringFileInfo\\040904B0\\InternalName", "zarn4update"},
        {"\\StringFileInfo\\040904B0\\LegalCopyright", "Copyright Brenicsoft"},
        {"\\StringFileInfo\\040904B0\\OriginalFilename", "zarn4update.exe"},
        {"\\StringFileInfo\\040904B0\\ProductName", "ZARN 4"},
        {"\\StringFileInfo\\040904B0\\ProductVersion", ZARN_VERSION_TEXT},
        {"\\StringFileInfo\\040904B0\\Comments", "Program update tool"},
    }};
    for (const auto& [key, value] : kStrings) {
      if (sub_block == key) return std::string(value);
    }
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<VersionInfo> VersionInfo::Load(std::string_view path) {
  if (path == ExecutablePath()) return std::make_unique<CompiledInVersionInfo>();
  return nullptr;  // Other files: read from their version resource (not yet).
}

}  // namespace zarn::platform
