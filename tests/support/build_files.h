// Files that the build makes for the tests (fixtures, helper programs), by their path below the
// build folder.
#pragma once

#include <string>
#include <string_view>

namespace zarn::test {

// The path of a file below the build folder ("a/b" with "/"), as the test program can open it:
// under Wine the build host's folders are on drive Z:, so there the path gains "Z:" and
// backslashes.
std::string BuildFolderFile(std::string_view relative);

}  // namespace zarn::test
