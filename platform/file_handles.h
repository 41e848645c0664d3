// Open files addressed by handle: the unbuffered open, create, read, write, seek and close that
// the cabinet library's file callbacks are built on. Every call that fails reports the system's
// error number in `error`; a call that succeeds leaves `error` alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarn::platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFileHandle = -1;

enum class FileAccess { kRead = 0, kWrite = 1, kReadWrite = 2 };
enum class SeekOrigin { kBegin = 0, kCurrent = 1, kEnd = 2 };

// Opens an existing file; kInvalidFileHandle on failure.
FileHandle OpenFileHandle(std::string_view path, FileAccess access, std::uint32_t& error);
// Creates a file with normal attributes for writing, emptying an existing one. A symbolic link in
// the last place is not followed: the create fails instead.
FileHandle CreateFileHandle(std::string_view path, std::uint32_t& error);
// Opens a file for a byte stream of the program's own: kStreamRead an existing file for reading,
// kStreamCreate a new or emptied file for reading and writing that no one else may open while it
// is open, kStreamUpdate the same without emptying an existing file. Sizes and positions are
// 64-bit; the handle is not inherited by child processes, and on POSIX a symbolic link in the last
// place is not followed (the open fails).
enum class StreamOpen { kStreamRead, kStreamCreate, kStreamUpdate };
FileHandle OpenStreamFile(std::string_view path, StreamOpen mode, std::uint32_t& error);
// Ends the file at size bytes (longer or shorter); the position stays where it was.
bool SetFileHandleSize(FileHandle file, std::int64_t size, std::uint32_t& error);
// Each returns the number of bytes moved, or -1 (as unsigned) on failure. A write either moves
// everything or fails.
std::uint32_t ReadFileHandle(FileHandle file, void* buffer, std::uint32_t count,
                             std::uint32_t& error);
std::uint32_t WriteFileHandle(FileHandle file, const void* buffer, std::uint32_t count,
                              std::uint32_t& error);
// The new position from the start of the file, or -1 on failure.
std::int64_t SeekFileHandle(FileHandle file, std::int64_t distance, SeekOrigin origin,
                            std::uint32_t& error);
bool CloseFileHandle(FileHandle file, std::uint32_t& error);

// The system's message text for an error number of the calls above, without a trailing line end.
std::string SystemErrorText(std::uint32_t error);

}  // namespace zarn::platform
