// The file and cabinet names a manifest may give. The manifest comes from the network, so its
// names are checked before any of them is compared, downloaded, installed or registered.
#pragma once

#include <string>
#include <string_view>

namespace zarn {

// A "Files" key that names a file inside the program folder: relative, no drive or colon, no
// empty, "." or ".." component, no device name, and none of the characters that Windows keeps
// out of file names (control characters and < > " | ? *, which would act as wildcards in a
// directory search). "\" and "/" both separate folders.
bool IsFileInsideProgramFolder(std::string_view key);

// A "Cabs" value that is a plain file name in the update folder: the same rules, and no folder
// part at all.
bool IsPlainCabName(std::string_view name);

// The key as a path below a folder of this platform: both separators become its delimiter.
std::string LocalKeyPath(std::string_view key);

}  // namespace zarn
