#include "tests/support/settings_sandbox.h"

#include <cstring>
#include <vector>

#include "app/update_common.h"
#include "platform/registry.h"

namespace zarn::test {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryType;

SettingsSandbox::SettingsSandbox() {
  RegistryKey::DeleteTree(RegistryRoot::kCurrentUser, kSettingsKey);
}

SettingsSandbox::~SettingsSandbox() {
  RegistryKey::DeleteTree(RegistryRoot::kCurrentUser, kSettingsKey);
}

void SettingsSandbox::SetDword(std::string_view name, std::uint32_t value) {
  std::uint8_t bytes[4];
  std::memcpy(bytes, &value, 4);
  RegistryKey::Create(RegistryRoot::kCurrentUser, kSettingsKey)
      ->SetValue(name, RegistryType::kDword, bytes);
}

void SettingsSandbox::SetString(std::string_view name, std::string_view value) {
  std::vector<std::uint8_t> bytes(value.begin(), value.end());
  bytes.push_back(0);
  RegistryKey::Create(RegistryRoot::kCurrentUser, kSettingsKey)
      ->SetValue(name, RegistryType::kSz, bytes);
}

std::optional<std::uint32_t> SettingsSandbox::GetDword(std::string_view name) {
  auto key =
      RegistryKey::Open(RegistryRoot::kCurrentUser, kSettingsKey, RegistryKey::Access::kRead);
  if (!key) return std::nullopt;
  const auto read = key->QueryValue(name);
  if (read.status != platform::RegistryStatus::kOk || read.value.data.size() != 4) {
    return std::nullopt;
  }
  std::uint32_t value;
  std::memcpy(&value, read.value.data.data(), 4);
  return value;
}

std::string SettingsSandbox::GetString(std::string_view name) {
  auto key =
      RegistryKey::Open(RegistryRoot::kCurrentUser, kSettingsKey, RegistryKey::Access::kRead);
  if (!key) return {};
  const auto read = key->QueryValue(name);
  if (read.status != platform::RegistryStatus::kOk) return {};
  std::string text(read.value.data.begin(), read.value.data.end());
  return text.substr(0, text.find('\0'));
}

}  // namespace zarn::test
