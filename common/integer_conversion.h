// The run-time conversion of a whole text to a signed 32-bit integer, as the manifest's stamp and
// the version fields and the network client's address and reply fields need it: optional leading
// blanks, an optional sign, then the digits, and nothing after them. The value must fit a signed
// 32-bit integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zarn {

enum class IntegerForms {
  Decimal,       // decimal digits only
  DecimalOrHex,  // also hexadecimal digits after "$", "x" or "0x" (either letter case)
};

std::optional<std::int32_t> ParseInt32(std::string_view text, IntegerForms forms);

// ParseInt32 with hexadecimal forms, or fallback when the text is not such an integer.
std::int32_t TextToInt32Or(std::string_view text, std::int32_t fallback);

// ParseInt32 with hexadecimal forms; any other text raises EConvertError
// "'<text>' is not a valid integer value".
std::int32_t TextToInt32(std::string_view text);

// A decimal integer; any other text raises EConvertError "'<text>' is not a valid integer value".
std::int32_t DecimalTextToInt32(std::string_view text);

}  // namespace zarn
