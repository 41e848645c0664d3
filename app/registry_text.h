// Reading a text value from an open registry key with the settings store's type check.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace zarn {

// The text of a REG_SZ or REG_EXPAND_SZ value (unexpanded, cut at its first NUL); nullopt for a
// value of another type.
std::optional<std::string> RegistryValueText(const platform::RegistryValue& value);

// The value as a text (REG_SZ or REG_EXPAND_SZ, unexpanded, cut at its first NUL); nullopt when
// the value does not exist. Raises ERegistryException "Invalid data type for '<name>'" for a value
// of another type and "Failed to get data for '<name>'" when it cannot be read.
std::optional<std::string> ReadRegistryText(platform::RegistryKey& key, std::string_view name);

}  // namespace zarn
