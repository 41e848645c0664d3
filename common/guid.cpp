#include "common/guid.h"

#include "common/hex.h"
#include "common/text.h"

namespace zarn {

namespace {

// Reads `digits` hexadecimal digits at text[pos]; nullopt when any is not a digit.
std::optional<std::uint32_t> HexAt(std::string_view text, std::size_t pos, std::size_t digits) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const int d = HexDigitValue(text[pos + i]);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return value;
}

}  // namespace

std::string GuidToString(const Guid& guid) {
  std::string out;
  out.reserve(38);
  out += '{';
  out += HexUpper(guid.data1, 8);
  out += '-';
  out += HexUpper(guid.data2, 4);
  out += '-';
  out += HexUpper(guid.data3, 4);
  out += '-';
  for (std::size_t i = 0; i < guid.data4.size(); ++i) {
    if (i == 2) out += '-';
    out += HexUpper(guid.data4[i], 2);
  }
  out += '}';
  return out;
}

std::optional<Guid> ParseGuid(std::string_view text) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-') {
    return std::nullopt;
  }
  const auto d1 = HexAt(text, 1, 8);
  const auto d2 = HexAt(text, 10, 4);
  const auto d3 = HexAt(text, 15, 4);
  if (!d1 || !d2 || !d3) return std::nullopt;
  Guid guid{*d1, static_cast<std::uint16_t>(*d2), static_cast<std::uint16_t>(*d3), {}};
  static constexpr std::size_t kByteOffsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (std::size_t i = 0; i < 8; ++i) {
    const auto byte = HexAt(text, kByteOffsets[i], 2);
    if (!byte) return std::nullopt;
    guid.data4[i] = static_cast<std::uint8_t>(*byte);
  }
  return guid;
}

}  // namespace zarn
