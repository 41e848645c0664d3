#include "app/update_manifest.h"

#include "common/integer_conversion.h"
#include "platform/profile.h"

namespace zarn {

std::string UpdateManifest::ReadString(std::string_view section, std::string_view key) const {
  return platform::ReadProfileString(path_, section, key, kManifestDefault, kManifestValueBuffer);
}

std::vector<std::string> UpdateManifest::ReadSectionKeys(std::string_view section) const {
  return SplitKeyBlock(platform::ReadProfileKeyBlock(path_, section, kManifestKeyListBuffer));
}

std::int32_t UpdateManifest::TimeOfUpdate() const {
  return TextToInt32Or(ReadString(kManifestIdent, kManifestTimeOfUpdate), -1);
}

std::vector<std::string> SplitKeyBlock(std::string_view block) {
  std::vector<std::string> names;
  while (!block.empty()) {
    const std::size_t end = block.find('\0');
    if (end == std::string_view::npos) break;  // cut short by the buffer
    if (end > 0) names.emplace_back(block.substr(0, end));
    block.remove_prefix(end + 1);
  }
  return names;
}

}  // namespace zarn
