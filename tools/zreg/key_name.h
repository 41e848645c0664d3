// Registry key names as the command line and REGEDIT4 files write them: a root name (short or
// long form) followed by the key's path, "HKCU\Software\Brenicsoft".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace zarn::zreg {

struct KeyName {
  platform::RegistryRoot root = platform::RegistryRoot::kCurrentUser;
  std::string path;  // without leading or trailing backslash; empty for the root itself
};

// nullopt for an unknown root or an empty name inside the path.
std::optional<KeyName> ParseKeyName(std::string_view text);

std::string_view LongRootName(platform::RegistryRoot root);
// The long form: "HKEY_CURRENT_USER\Software\Brenicsoft".
std::string FullName(const KeyName& key);
KeyName SubKey(const KeyName& key, std::string_view name);

}  // namespace zarn::zreg
