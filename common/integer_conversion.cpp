#include "common/integer_conversion.h"

#include "common/exception.h"
#include "common/hex.h"
#include "common/text.h"

namespace zarn {

namespace {

// Strips a hexadecimal prefix ("$", "x", "0x"); true when there was one.
bool TakeHexPrefix(std::string_view& text) {
  if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X')) {
    text.remove_prefix(1);
    return true;
  }
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    return true;
  }
  return false;
}

}  // namespace

std::optional<std::int32_t> ParseInt32(std::string_view text, IntegerForms forms) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const int base = forms == IntegerForms::DecimalOrHex && TakeHexPrefix(text) ? 16 : 10;
  if (text.empty()) return std::nullopt;
  // The magnitude is gathered in 64 bits and checked against the 32-bit range after each digit,
  // so that no amount of digits can overflow it.
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t magnitude = 0;
  for (const char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0 || digit >= base) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t TextToInt32Or(std::string_view text, std::int32_t fallback) {
  return ParseInt32(text, IntegerForms::DecimalOrHex).value_or(fallback);
}

namespace {

std::int32_t TextToInt32In(std::string_view text, IntegerForms forms) {
  if (const auto value = ParseInt32(text, forms)) return *value;
  throw EConvertError(FormatMessage("'%s' is not a valid integer value", {std::string(text)}));
}

}  // namespace

std::int32_t TextToInt32(std::string_view text) {
  return TextToInt32In(text, IntegerForms::DecimalOrHex);
}

std::int32_t DecimalTextToInt32(std::string_view text) {
  return TextToInt32In(text, IntegerForms::Decimal);
}

}  // namespace zarn
