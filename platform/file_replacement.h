// Replacing an installed file with a new copy, never leaving it half written: the copy goes to a
// temporary file in the target's folder, is flushed, and is renamed over the target in one step.
#pragma once

#include <cstdint>
#include <string_view>

namespace zarn::platform {

// Puts a copy of the regular file `source` in place of `target`, as the system's file copy would
// (the copy takes the source's last-write time; on Windows an existing target's creation time
// stays). A target that exists must be a regular file (not a folder, device, FIFO or link) that
// may be written: a read-only target (on POSIX: no write permission for the owner) or one that
// another program holds open without sharing fails. On failure returns false with the Windows
// error number, and the target is exactly as it was, with no temporary file left behind.
bool ReplaceFileWithCopy(std::string_view source, std::string_view target, std::uint32_t& error);

}  // namespace zarn::platform
