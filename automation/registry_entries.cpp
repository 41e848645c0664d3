#include "automation/registry_entries.h"

#include <cstdint>
#include <span>
#include <string>

#include "common/exception.h"
#include "platform/registry.h"

namespace zarn {

using platform::RegistryKey;
using platform::RegistryRoot;

void WriteClassesRootText(std::string_view key, std::string_view value_name,
                          std::string_view text) {
  const std::unique_ptr<RegistryKey> opened = RegistryKey::Create(RegistryRoot::kClassesRoot, key);
  const std::string data(text);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.c_str());
  if (!opened || !opened->SetValue(value_name, platform::RegistryType::kSz,
                                   std::span<const std::uint8_t>(bytes, data.size() + 1))) {
    throw EOleRegistrationError(std::string(kRegistryWriteError));
  }
}

// An account may be allowed to delete a key but not to read it: the delete is tried then, and the
// platform refuses it for a key with sub-keys it cannot list.
void DeleteClassesRootKey(std::string_view key) {
  {
    const std::unique_ptr<RegistryKey> opened =
        RegistryKey::Open(RegistryRoot::kClassesRoot, key, RegistryKey::Access::kRead);
    if (opened && !opened->SubKeyNames().empty()) return;
  }
  RegistryKey::DeleteTree(RegistryRoot::kClassesRoot, key);
}

}  // namespace zarn
