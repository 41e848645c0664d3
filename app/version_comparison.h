// Whether an installed file must be replaced by the one the manifest lists: by version text when
// the installed file has a dotted "FileVersion", otherwise by packed file date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/status_sink.h"

namespace zarn {

// Decides for one manifest entry and writes its one status line: " <file> is a new file",
// "-<file> Old:<installed> New:<listed> Replace." (or " Ok."), or for packed dates
// "-<file> Old: <date>  New: <date> Replace." (or " Ok."). Conversion errors (EConvertError) leave
// it without a line.
bool FileNeedsUpdate(StatusSink& status, std::string_view listed, std::string_view local_path);

// True when the installed version ranks below the listed one.
bool IsOlderVersion(std::string_view installed, std::string_view listed);

// a * 1000000 + b * 10000 + c * 100 + d for the fields a.b.c.d, in 32-bit arithmetic that wraps.
// Missing fields count as 0; a text with more than four fields is ranked by its first four and the
// rest is ignored unread. A field that is not a decimal integer raises EConvertError.
std::int32_t VersionToNumber(std::string_view version);

// A string of the file's version resource ("FileVersion", "ProductName", ...) in its first
// translation; empty when the file has no version resource, no translation table or no such
// string.
std::string GetVersionString(std::string_view path, std::string_view key);

// The "FileVersion" string of the file's version resource in its first translation; empty when
// the file has no version resource, no translation table or no such string.
std::string GetFileVersionText(std::string_view path);

}  // namespace zarn
