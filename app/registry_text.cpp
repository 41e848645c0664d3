#include "app/registry_text.h"

#include <algorithm>

#include "common/exception.h"
#include "common/text.h"

namespace zarn {

std::optional<std::string> RegistryValueText(const platform::RegistryValue& value) {
  if (value.type != platform::RegistryType::kSz && value.type != platform::RegistryType::kExpandSz)
    return std::nullopt;
  const auto end = std::find(value.data.begin(), value.data.end(), std::uint8_t{0});
  return std::string(value.data.begin(), end);
}

std::optional<std::string> ReadRegistryText(platform::RegistryKey& key, std::string_view name) {
  const platform::RegistryRead read = key.QueryValue(name);
  switch (read.status) {
    case platform::RegistryStatus::kMissing:
      return std::nullopt;
    case platform::RegistryStatus::kError:
      throw ERegistryException(FormatMessage("Failed to get data for '%s'", {std::string(name)}));
    case platform::RegistryStatus::kOk:
      break;
  }
  auto text = RegistryValueText(read.value);
  if (!text)
    throw ERegistryException(FormatMessage("Invalid data type for '%s'", {std::string(name)}));
  return text;
}

}  // namespace zarn
