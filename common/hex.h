// Bytes as hexadecimal text and back: the form digests and keys take in manifests and settings.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

// The value of one hexadecimal digit (either letter case); -1 for any other character.
int HexDigitValue(char c);

// Two lower-case digits per byte.
std::string ToHex(std::span<const std::uint8_t> bytes);
// The bytes of an even number of hexadecimal digits (either letter case); nullopt for anything
// else, including blanks.
std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text);

}  // namespace zarn
