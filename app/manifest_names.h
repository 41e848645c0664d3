// The file and cabinet names a manifest may give. The manifest comes from the network, so its
// names are checked before any of them is compared, downloaded, installed or registered.
#pragma once

#include <string_view>

namespace zarn {

// A "Files" key that names a file inside the program folder: relative, no drive or colon, no
// empty, "." or ".." component, no device name.
bool IsFileInsideProgramFolder(std::string_view key);

// A "Cabs" value that is a plain file name in the update folder.
bool IsPlainCabName(std::string_view name);

}  // namespace zarn
