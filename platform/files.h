// Files and folders, as the program needs them. Paths are texts in the platform's form; the core
// joins them with PathDelimiter().
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::platform {

char PathDelimiter();
// True where file names ignore letter case (Windows): the program folder is then upper-cased.
bool FileNamesIgnoreCase();

// Full path of the running program's own executable file.
std::string ExecutablePath();

bool FileExists(std::string_view path);
// True when the path names a regular file itself: not a folder, device, FIFO or socket, and not a
// link (or on Windows any reparse point), whatever the link leads to.
bool RegularFileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// Creates one folder level; false when it cannot (the parent missing included).
bool CreateFolder(std::string_view path);
// Makes sure a folder of the program's own stands at path: creates it (on POSIX readable and
// writable by its owner only), or takes an existing folder (on POSIX made owner-only again). False
// when it cannot, and when something else stands there: a file, or a link (on Windows any reparse
// point) whatever it leads to.
bool EnsurePrivateFolder(std::string_view path);
bool RemoveFolder(std::string_view path);
// Deletes a file; a read-only file is refused, as on Windows, on both back ends.
bool DeleteFile(std::string_view path);

// Renames a file within its volume; fails when `to` exists already. On failure returns false and
// sets the Windows error number.
bool RenameFile(std::string_view from, std::string_view to, std::uint32_t& error);

// The bytes the user may still write on the volume that holds the folder; nullopt when unknown.
std::optional<std::uint64_t> FreeDiskSpace(std::string_view folder);

// The names (not paths) of the plain and read-only files directly in a folder: no folders, no
// hidden or system files (on POSIX: no names beginning with ".", no special files).
std::vector<std::string> ListPlainFiles(std::string_view folder);

// Everything directly in a folder but "." and "..", hidden and system entries included. A link (on
// Windows any reparse point) is never a folder here, whatever it leads to, so that emptying a
// folder cannot reach outside it.
struct FolderEntry {
  std::string name;
  bool folder = false;
  bool link = false;
};
std::vector<FolderEntry> ListFolderEntries(std::string_view folder);

// Removes a link (on Windows a reparse point) that stands where a folder or file may be, without
// touching what it leads to.
bool RemoveLink(std::string_view path);

// Writes the bytes to the file, replacing it. On failure returns false and sets the system error.
bool WriteWholeFile(std::string_view path, std::span<const char> bytes, std::uint32_t& error);

// Makes a file read-only or writable again (the Windows read-only attribute; on POSIX the owner's
// write permission).
bool SetReadOnly(std::string_view path, bool read_only);

// Gives `path` the permission bits of `model`, so that a copy of a program runs as the program
// does. On POSIX the mode bits; Windows files carry no execute permission, so nothing changes.
bool TakePermissionsOf(std::string_view model, std::string_view path);

}  // namespace zarn::platform
