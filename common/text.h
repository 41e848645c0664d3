// Small text helpers. Texts are byte strings in the system's ANSI code page; letter-case changes
// touch only the ASCII letters, as the program's comparisons expect.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Removes blanks and control characters (bytes up to 0x20) from both ends.
std::string_view Trim(std::string_view text);

// Replaces each "%s" in order by the next argument; a format helper for the fixed messages.
std::string FormatMessage(std::string_view format, const std::vector<std::string>& args);

std::string HexUpper(std::uint32_t value, int digits);

// The text as a terminal may safely show it: each control character (bytes below 0x20 and 0x7F)
// other than tab becomes "\x" and two hex digits, so that escape sequences in text from a server
// or a cabinet cannot rewrite the terminal. With keep_line_ends, CR and LF stay as they are.
std::string EscapeControlCharacters(std::string_view text, bool keep_line_ends = false);

}  // namespace zarn
