#include "tools/zreg/key_name.h"

#include <array>

#include "common/text.h"

namespace zarn::zreg {

namespace {

struct RootNames {
  platform::RegistryRoot root;
  std::string_view short_name;
  std::string_view long_name;
};

constexpr std::array<RootNames, 3> kRoots{{
    {platform::RegistryRoot::kCurrentUser, "HKCU", "HKEY_CURRENT_USER"},
    {platform::RegistryRoot::kClassesRoot, "HKCR", "HKEY_CLASSES_ROOT"},
    {platform::RegistryRoot::kLocalMachine, "HKLM", "HKEY_LOCAL_MACHINE"},
}};

}  // namespace

std::optional<KeyName> ParseKeyName(std::string_view text) {
  const std::size_t slash = text.find('\\');
  const std::string_view root_text = text.substr(0, slash);
  std::string_view path =
      slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (!path.empty() && (path.front() == '\\' || path.find("\\\\") != std::string_view::npos)) {
    return std::nullopt;
  }
  for (const RootNames& names : kRoots) {
    if (EqualsIgnoringCase(root_text, names.short_name) ||
        EqualsIgnoringCase(root_text, names.long_name)) {
      return KeyName{names.root, std::string(path)};
    }
  }
  return std::nullopt;
}

std::string_view LongRootName(platform::RegistryRoot root) {
  for (const RootNames& names : kRoots) {
    if (names.root == root) return names.long_name;
  }
  return {};
}

std::string FullName(const KeyName& key) {
  std::string name(LongRootName(key.root));
  if (!key.path.empty()) name += "\\" + key.path;
  return name;
}

KeyName SubKey(const KeyName& key, std::string_view name) {
  return {key.root, key.path.empty() ? std::string(name) : key.path + "\\" + std::string(name)};
}

}  // namespace zarn::zreg
