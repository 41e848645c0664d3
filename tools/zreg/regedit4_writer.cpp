// Writes REGEDIT4 exports. Texts that the quoted form cannot carry (an embedded NUL, a missing
// terminator, a line break) are written as hex(1) or hex(2) data, so every value survives an
// export and import unchanged.
#include <algorithm>
#include <charconv>

#include "tools/zreg/regedit4.h"
#include "tools/zreg/value_text.h"

namespace zarn::zreg {

namespace {

using platform::RegistryType;
using platform::RegistryValue;

constexpr std::size_t kLineWidth = 76;
constexpr const char* kNewLine = "\r\n";

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

bool QuotableText(const RegistryValue& value) {
  const auto& data = value.data;
  if (value.type != RegistryType::kSz || data.empty() || data.back() != 0) return false;
  return std::none_of(data.begin(), data.end() - 1,
                      [](std::uint8_t c) { return c == 0 || c == '\r' || c == '\n'; });
}

// Lower-case hexadecimal, padded with zeros to at least digits.
std::string LowerHex(std::uint32_t value, std::size_t digits) {
  char buffer[8];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, 16).ptr;
  const std::string text(buffer, end);
  return std::string(digits > text.size() ? digits - text.size() : 0, '0') + text;
}

// "hex:" or "hex(N):" followed by the bytes, wrapped after ",\" with a two-blank indent.
std::string HexData(const RegistryValue& value, std::size_t line_used) {
  const auto number = static_cast<std::uint32_t>(value.type);
  std::string text = number == 3 ? "hex:" : "hex(" + LowerHex(number, 1) + "):";
  std::size_t column = line_used + text.size();
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    std::string byte = LowerHex(value.data[i], 2);
    if (i + 1 < value.data.size()) byte += ',';
    if (column + byte.size() > kLineWidth) {
      text += std::string("\\") + kNewLine + "  ";
      column = 2;
    }
    text += byte;
    column += byte.size();
  }
  return text;
}

std::string ValueLine(const std::string& name, const RegistryValue& value) {
  std::string line = (name.empty() ? std::string("@") : Quoted(name)) + "=";
  if (QuotableText(value)) {
    return line + Quoted(std::string(value.data.begin(), value.data.end() - 1));
  }
  if (value.type == RegistryType::kDword && value.data.size() == 4) {
    return line + "dword:" + LowerHex(static_cast<std::uint32_t>(FromLittleEndian(value.data)), 8);
  }
  return line + HexData(value, line.size());
}

}  // namespace

void WriteRegedit4Header(std::ostream& out) {
  out << "REGEDIT4" << kNewLine;
}

void WriteRegedit4Key(std::ostream& out, const KeyName& key,
                      const std::vector<std::pair<std::string, RegistryValue>>& values) {
  out << kNewLine << "[" << FullName(key) << "]" << kNewLine;
  for (const auto& [name, value] : values) out << ValueLine(name, value) << kNewLine;
}

}  // namespace zarn::zreg
