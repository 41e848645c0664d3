// Reading INI files through the platform's private-profile reader, with its buffers: the results
// are exactly the characters the reader writes into a buffer of the given size, so that both back
// ends cut long values and long key lists at the same place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zarn::platform {

// The value of a key, or default_value when the file, the section or the key is missing. At most
// buffer_size - 1 characters are returned. Section and key names ignore letter case and the blanks
// around them; quotes around a value (or the default) are removed.
std::string ReadProfileString(std::string_view path, std::string_view section, std::string_view key,
                              std::string_view default_value, std::size_t buffer_size);

// The key names of a section as the reader writes them: each name followed by a zero character,
// in file order. A list that does not fit buffer_size is cut to buffer_size - 2 characters, which
// may end inside a name.
std::string ReadProfileKeyBlock(std::string_view path, std::string_view section,
                                std::size_t buffer_size);

}  // namespace zarn::platform
