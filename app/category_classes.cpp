#include "app/category_classes.h"

#include <algorithm>

#include "app/registry_text.h"
#include "platform/component_categories.h"
#include "platform/registry.h"

namespace zarn {

namespace {

std::string ServerPath(const Guid& clsid, std::string_view server_key) {
  const std::string path = "CLSID\\" + GuidToString(clsid) + "\\" + std::string(server_key);
  const auto key = platform::RegistryKey::Open(platform::RegistryRoot::kClassesRoot, path,
                                               platform::RegistryKey::Access::kAll);
  if (!key) return std::string();
  // A listing of what is registered: a default value that is missing, unreadable or no text
  // counts as no path rather than breaking the listing off.
  const platform::RegistryRead read = key->QueryValue("");
  if (read.status != platform::RegistryStatus::kOk) return std::string();
  return RegistryValueText(read.value).value_or(std::string());
}

}  // namespace

int EnumCategoryClasses(CategoryClassTable& table) {
  const std::vector<Guid> classes =
      platform::ClassesImplementingCategory(kReceiverSupportCategory, kMaxCategoryClasses);
  if (classes.empty()) return 0;
  table.fill(CategoryClassEntry{});
  const std::size_t count = std::min(classes.size(), kMaxCategoryClasses);
  for (std::size_t i = 0; i < count; ++i) table[i].clsid = classes[i];
  return static_cast<int>(count);
}

std::string GetInprocServerPath(const Guid& clsid) {
  return ServerPath(clsid, "InprocServer32");
}
std::string GetLocalServerPath(const Guid& clsid) {
  return ServerPath(clsid, "LocalServer32");
}

}  // namespace zarn
