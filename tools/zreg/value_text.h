// Registry value types and data as text: the type names of the command line, the data as query
// prints it, and the data given with /d turned into the stored bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zarn::zreg {

// "REG_SZ", "REG_DWORD", ...; a type without a name prints as "REG_UNKNOWN(<number>)".
std::string TypeName(platform::RegistryType type);
// The types add accepts (any letter case); nullopt for others.
std::optional<platform::RegistryType> ParseTypeName(std::string_view name);

// The data as query shows it: texts up to their first NUL, lists joined with "\0", numbers in
// hexadecimal ("0x1f"), anything else as upper-case hexadecimal bytes.
std::string DisplayData(const platform::RegistryValue& value);

// The bytes stored for /d data of a type. Numbers are decimal or "0x" hexadecimal; binary data
// is hexadecimal digits in pairs; list items are split at separator. On bad data returns
// nullopt and says why in error.
std::optional<std::vector<std::uint8_t>> EncodeData(platform::RegistryType type,
                                                    std::string_view data, char separator,
                                                    std::string& error);

// The bytes of a text with its terminating NUL, as REG_SZ and REG_EXPAND_SZ store it.
std::vector<std::uint8_t> TextBytes(std::string_view text);

// Little-endian numbers, as REG_DWORD and REG_QWORD store them.
std::vector<std::uint8_t> LittleEndian(std::uint64_t value, std::size_t size);
std::uint64_t FromLittleEndian(const std::vector<std::uint8_t>& bytes);

}  // namespace zarn::zreg
