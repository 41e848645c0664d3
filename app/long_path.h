// Registered paths in the form the file system stores them.
#pragma once

#include <string>
#include <string_view>

namespace zarn {

// Makes the path absolute and replaces each existing component by its on-disk name (on Windows
// the long name of a short 8.3 name, in its stored letter case). From the first component that
// does not exist on, the path is kept as written. A final delimiter stays.
std::string ExpandLongPath(std::string_view path);

}  // namespace zarn
