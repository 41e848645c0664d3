#include "app/settings_store.h"

#include <vector>

#include "app/update_common.h"
#include "common/exception.h"
#include "common/text.h"
#include "platform/registry.h"

namespace zarn {

namespace {

using platform::RegistryKey;
using platform::RegistryRead;
using platform::RegistryRoot;
using platform::RegistryStatus;
using platform::RegistryType;

[[noreturn]] void Raise(const char* format, std::string_view name) {
  throw ERegistryException(FormatMessage(format, {std::string(name)}));
}

// The value as stored; nullopt when the key or the value is missing.
std::optional<platform::RegistryValue> Query(std::string_view name) {
  const auto key =
      RegistryKey::Open(RegistryRoot::kCurrentUser, kSettingsKey, RegistryKey::Access::kRead);
  if (!key) return std::nullopt;
  RegistryRead read = key->QueryValue(name);
  if (read.status == RegistryStatus::kMissing) return std::nullopt;
  if (read.status != RegistryStatus::kOk) Raise("Failed to get data for '%s'", name);
  return std::move(read.value);
}

void Write(std::string_view name, RegistryType type, std::span<const std::uint8_t> data) {
  const auto key = RegistryKey::Create(RegistryRoot::kCurrentUser, kSettingsKey);
  if (!key) return;
  if (!key->SetValue(name, type, data)) Raise("Failed to set data for '%s'", name);
}

}  // namespace

std::optional<std::int32_t> ReadSettingDword(std::string_view name) {
  const auto value = Query(name);
  if (!value) return std::nullopt;
  const auto& data = value->data;
  if (data.size() > 4) Raise("Failed to get data for '%s'", name);
  if (value->type != RegistryType::kDword || data.size() != 4) {
    Raise("Invalid data type for '%s'", name);
  }
  const std::uint32_t bits =
      static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
      static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  return static_cast<std::int32_t>(bits);
}

std::optional<std::string> ReadSettingText(std::string_view name) {
  const auto value = Query(name);
  if (!value) return std::nullopt;
  if (value->type != RegistryType::kSz && value->type != RegistryType::kExpandSz) {
    Raise("Invalid data type for '%s'", name);
  }
  const std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

void WriteSettingDword(std::string_view name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  Write(name, RegistryType::kDword, bytes);
}

void WriteSettingText(std::string_view name, std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  Write(name, RegistryType::kSz, bytes);
}

void WriteSettingBinary(std::string_view name, std::span<const std::uint8_t> bytes) {
  Write(name, RegistryType::kBinary, bytes);
}

}  // namespace zarn
