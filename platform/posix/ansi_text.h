// Conversion of Unicode texts (UTF-8, UTF-16) to the ANSI code page of the Windows program,
// Windows-1252; characters it lacks become "?".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarn::platform {

char CodePointToAnsi(std::uint32_t code_point);
std::string Utf8ToAnsi(std::string_view utf8);
// bytes holds UTF-16 code units, little- or big-endian; an odd last byte is ignored.
std::string Utf16ToAnsi(std::string_view bytes, bool big_endian);

}  // namespace zarn::platform
