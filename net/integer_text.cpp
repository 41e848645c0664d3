#include "net/integer_text.h"

#include <string>

#include "common/exception.h"

namespace zarn {

namespace {

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9')
    value = c - '0';
  else if (c >= 'a' && c <= 'f')
    value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    value = c - 'A' + 10;
  return value < base ? value : -1;
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    const int digit = DigitValue(c, base);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > 0x80000000LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 0x7FFFFFFFLL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t TextToInteger(std::string_view text) {
  const auto value = ParseInteger(text);
  if (!value) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return *value;
}

}  // namespace zarn
