// Typed reads and writes of one value in the settings key, with the settings' type rules and
// error texts. The building blocks of the readers and writers in update_common.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zarn {

// nullopt when the key or the value is missing. The value is asked for with room for four
// bytes: a larger one is "Failed to get data for '...'"; anything but a 4-byte REG_DWORD is
// "Invalid data type for '...'".
std::optional<std::int32_t> ReadSettingDword(std::string_view name);
// REG_SZ or REG_EXPAND_SZ (not expanded), cut at its first NUL; an empty value reads as "".
std::optional<std::string> ReadSettingText(std::string_view name);

void WriteSettingDword(std::string_view name, std::uint32_t value);
// Stored as REG_SZ with its terminating NUL.
void WriteSettingText(std::string_view name, std::string_view text);
void WriteSettingBinary(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace zarn
