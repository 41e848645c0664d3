// Test programs never touch the user's settings: on POSIX the registry store of a test process
// is a fresh file of its own. (On Windows the tests run in a fresh Wine prefix instead.)
#pragma once

#include <string>

namespace zarn::test {

// Points $ZARN4_REGISTRY at a new file in a new temporary folder, removed when the process ends.
// Child processes started by a test inherit it and share the store.
void UseScratchRegistry();

// The temporary folder of this test process (created on first use, removed at exit).
std::string ScratchFolder();

}  // namespace zarn::test
