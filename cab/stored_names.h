// Names as a cabinet stores them ("folder\file.ext") and the checks that keep an untrusted
// cabinet from writing anywhere but below the target folder.
#pragma once

#include <string>
#include <string_view>

namespace zarn {

// True when the stored name may be written below a target folder: it is not empty, not absolute,
// carries no drive or other colon, and none of its components is empty, made of dots and blanks
// only (".."), ends in a dot or blank (which Windows strips, turning ".. " into ".."), or names a
// DOS device ("CON", "NUL", "CONOUT$", "COM0" to "COM9", "LPT0" to "LPT9" and the forms with a
// superscript digit of code page 1252, with any extension), which would write to the device.
bool IsSafeStoredName(std::string_view name);

// The stored name with both "\" and "/" turned into the platform's delimiter.
std::string LocalStoredName(std::string_view name, char delimiter);

// The folder part of a path (everything before the last "/" or delimiter, without it); empty for
// a plain name.
std::string FolderPart(std::string_view path, char delimiter);

// The name part of a path (everything after the last "/" or delimiter).
std::string NamePart(std::string_view path, char delimiter);

// True when a folder or the file that `relative` names below `base` is a link (or on Windows any
// reparse point), which could lead outside `base`. `relative` uses the platform's delimiter.
bool LeadsThroughLink(std::string_view base, std::string_view relative, char delimiter);

}  // namespace zarn
