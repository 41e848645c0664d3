// Path facts that a writer of untrusted names needs: the full form of a relative path, and
// whether a path is a link that would lead somewhere else.
#pragma once

#include <string>
#include <string_view>

namespace zarn::platform {

// The path made absolute against the process's current folder, "." and ".." folded, links not
// resolved (what Windows' GetFullPathName does). Empty when it cannot be formed.
std::string ExpandFileName(std::string_view path);

// True when the path itself is a symbolic link, or on Windows any reparse point (a junction).
bool IsLink(std::string_view path);

}  // namespace zarn::platform
