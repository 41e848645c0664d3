// Class, interface and category identifiers: the 16-byte GUID in the platform's layout, and its
// registry form ("{8A23CE32-F36A-4B4E-B26B-32321D37089A}": upper-case hexadecimal in braces).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarn {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend bool operator==(const Guid&, const Guid&) = default;
};

std::string GuidToString(const Guid& guid);
// Reads the registry form; letter case does not matter. nullopt for anything else.
std::optional<Guid> ParseGuid(std::string_view text);

}  // namespace zarn
