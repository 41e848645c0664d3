#include "platform/posix/ansi_text.h"

#include <array>

namespace zarn::platform {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five the code page leaves undefined stand for the control
// characters of the same number, as on Windows.
constexpr std::array<std::uint16_t, 32> kHighControlRange{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::uint32_t kReplacement = 0xFFFD;

}  // namespace

char CodePointToAnsi(std::uint32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
    if (kHighControlRange[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    int follow = -1;  // -1: not the start of a valid sequence
    std::uint32_t code = lead;
    if (lead < 0x80) {
      follow = 0;
    } else if (lead >= 0xC0 && lead < 0xE0) {
      follow = 1, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      follow = 2, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead < 0xF8) {
      follow = 3, code = lead & 0x07u;
    }
    for (int k = 0; k < follow; ++k) {
      if (i >= utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
        follow = -1;
        break;
      }
      code = (code << 6) | (static_cast<unsigned char>(utf8[i++]) & 0x3Fu);
    }
    out += CodePointToAnsi(follow < 0 ? kReplacement : code);
  }
  return out;
}

std::string Utf16ToAnsi(std::string_view bytes, bool big_endian) {
  std::string out;
  auto unit_at = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<std::uint32_t>(big_endian ? (a << 8) | b : (b << 8) | a);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::uint32_t code = unit_at(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      const std::uint32_t low = unit_at(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    out += CodePointToAnsi(code);
  }
  return out;
}

}  // namespace zarn::platform
