// One-file MSZIP cabinets: libgcab on POSIX, the cabinet library's FCI on Windows.
#pragma once

#include <string>

namespace zarn::release {

// Packs the file at source_path into a new cabinet at cabinet_path under stored_name (folders
// separated by "\"), keeping the file's modification time. Returns an empty text, or what went
// wrong.
std::string WriteSingleFileCabinet(const std::string& source_path, const std::string& stored_name,
                                   const std::string& cabinet_path);

}  // namespace zarn::release
