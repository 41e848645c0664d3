#include "tools/zreg/value_text.h"

#include <array>
#include <charconv>

#include "common/text.h"

namespace zarn::zreg {

namespace {

using platform::RegistryType;

struct TypeEntry {
  std::uint32_t number;
  std::string_view name;
  bool accepted_by_add;
};

// The platform's REG_* numbers; add takes the types the store's users write.
constexpr std::array<TypeEntry, 12> kTypes{{
    {0, "REG_NONE", true},
    {1, "REG_SZ", true},
    {2, "REG_EXPAND_SZ", true},
    {3, "REG_BINARY", true},
    {4, "REG_DWORD", true},
    {5, "REG_DWORD_BIG_ENDIAN", false},
    {6, "REG_LINK", false},
    {7, "REG_MULTI_SZ", true},
    {8, "REG_RESOURCE_LIST", false},
    {9, "REG_FULL_RESOURCE_DESCRIPTOR", false},
    {10, "REG_RESOURCE_REQUIREMENTS_LIST", false},
    {11, "REG_QWORD", true},
}};

constexpr std::uint32_t kQword = 11;

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) text += HexUpper(byte, 2);
  return text;
}

std::string LowerHexNumber(std::uint64_t value) {
  char buffer[20];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
  return "0x" + std::string(buffer, result.ptr);
}

// Decimal or "0x" hexadecimal, no sign, no blanks, within max.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t max) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      value > max) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    std::uint8_t byte = 0;
    const auto result = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + i + 2) return std::nullopt;
    bytes.push_back(byte);
  }
  return bytes;
}

}  // namespace

std::string TypeName(RegistryType type) {
  const auto number = static_cast<std::uint32_t>(type);
  for (const TypeEntry& entry : kTypes) {
    if (entry.number == number) return std::string(entry.name);
  }
  return "REG_UNKNOWN(" + std::to_string(number) + ")";
}

std::optional<RegistryType> ParseTypeName(std::string_view name) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.accepted_by_add && EqualsIgnoringCase(name, entry.name)) {
      return static_cast<RegistryType>(entry.number);
    }
  }
  return std::nullopt;
}

std::string DisplayData(const platform::RegistryValue& value) {
  const auto& data = value.data;
  switch (static_cast<std::uint32_t>(value.type)) {
    case 1:
    case 2: {
      const std::string text(data.begin(), data.end());
      return text.substr(0, text.find('\0'));
    }
    case 7: {
      // Items end with NUL; the list ends with an empty item.
      std::string text(data.begin(), data.end());
      while (!text.empty() && text.back() == '\0') text.pop_back();
      std::string shown;
      for (const char c : text) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
      return shown;
    }
    case 4:
      if (data.size() == 4) return LowerHexNumber(FromLittleEndian(data));
      break;
    case kQword:
      if (data.size() == 8) return LowerHexNumber(FromLittleEndian(data));
      break;
    default:
      break;
  }
  return HexBytes(data);
}

std::optional<std::vector<std::uint8_t>> EncodeData(RegistryType type, std::string_view data,
                                                    char separator, std::string& error) {
  switch (static_cast<std::uint32_t>(type)) {
    case 1:
    case 2:
      return TextBytes(data);
    case 7: {
      std::vector<std::uint8_t> bytes;
      for (const char c : data)
        bytes.push_back(static_cast<std::uint8_t>(c == separator ? '\0' : c));
      if (!data.empty()) bytes.push_back(0);
      bytes.push_back(0);
      return bytes;
    }
    case 4:
    case kQword: {
      const bool dword = static_cast<std::uint32_t>(type) == 4;
      if (data.empty()) return LittleEndian(0, dword ? 4 : 8);
      const auto number = ParseNumber(data, dword ? 0xFFFFFFFFull : ~0ull);
      if (!number) {
        error = "Invalid " + TypeName(type) + " data '" + std::string(data) +
                "': give a decimal number or 0x followed by hexadecimal digits, at most " +
                (dword ? "0xffffffff" : "0xffffffffffffffff") + ".";
        return std::nullopt;
      }
      return LittleEndian(*number, dword ? 4 : 8);
    }
    default: {
      auto bytes = ParseHexBytes(data);
      if (!bytes) {
        error = "Invalid " + TypeName(type) + " data '" + std::string(data) +
                "': give pairs of hexadecimal digits, such as 01ff.";
      }
      return bytes;
    }
  }
}

std::vector<std::uint8_t> TextBytes(std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> LittleEndian(std::uint64_t value, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

std::uint64_t FromLittleEndian(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace zarn::zreg
