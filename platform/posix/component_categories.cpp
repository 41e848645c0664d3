// Component categories on POSIX, read from the class keys of the settings store.
#include "platform/component_categories.h"

#include <string>

#include "platform/registry.h"

namespace zarn::platform {

std::vector<Guid> ClassesImplementingCategory(const Guid& category, std::size_t max_count) {
  std::vector<Guid> classes;
  const auto clsid =
      RegistryKey::Open(RegistryRoot::kClassesRoot, "CLSID", RegistryKey::Access::kRead);
  if (!clsid) return classes;
  const std::string category_key = "\\Implemented Categories\\" + GuidToString(category);
  for (const std::string& name : clsid->SubKeyNames()) {
    if (classes.size() >= max_count) break;
    const auto guid = ParseGuid(name);
    if (!guid) continue;
    // A class that lists required categories is one a caller requiring none does not get, as
    // with the Windows categories manager.
    const std::string class_key = "CLSID\\" + name;
    const auto required =
        RegistryKey::Open(RegistryRoot::kClassesRoot, class_key + "\\Required Categories",
                          RegistryKey::Access::kRead);
    if (required && !required->SubKeyNames().empty()) continue;
    if (RegistryKey::Open(RegistryRoot::kClassesRoot, class_key + category_key,
                          RegistryKey::Access::kRead)) {
      classes.push_back(*guid);
    }
  }
  return classes;
}

}  // namespace zarn::platform
