// Path names as the file system knows them: full paths for showing registered paths in their long
// form and for placing extracted files, and whether a path is a link that would lead elsewhere.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zarn::platform {

// The absolute form of a path: relative to the current folder, "." and ".." resolved by name
// (links are not followed), a final delimiter kept. nullopt when it cannot be made.
std::optional<std::string> FullPathName(std::string_view path);

// The length of the drive at the start of an absolute path: "C:" or "\\server\share" on Windows,
// nothing on POSIX.
std::size_t DriveLength(std::string_view full_path);

// The on-disk name of the folder entry that the path names: on Windows its long name in its
// stored letter case. nullopt when there is no such entry.
std::optional<std::string> FindEntryName(std::string_view path);

// True when the path itself is a symbolic link, or on Windows any reparse point (a junction).
bool IsLink(std::string_view path);

}  // namespace zarn::platform
