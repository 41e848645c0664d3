// Reading a whole text as a 32-bit integer, the way the client reads the fields of addresses and
// passive-mode replies: leading blanks, an optional sign, decimal digits or a "$"/"0x" hexadecimal
// number, and nothing after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zarn {

std::optional<std::int32_t> ParseInteger(std::string_view text);

// As ParseInteger; a text that is not an integer raises EConvertError with
// "'<text>' is not a valid integer value".
std::int32_t TextToInteger(std::string_view text);

}  // namespace zarn
