// System error numbers in the Windows form the core reports ("Register x failed: 2"). Internal
// to the POSIX back end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarn::platform::posix {

// The Windows error code for an errno value: ENOENT 2 (ERROR_FILE_NOT_FOUND), ENOTDIR 3
// (ERROR_PATH_NOT_FOUND), EMFILE/ENFILE 4, EACCES/EPERM/EISDIR 5, EBADF 6 (ERROR_INVALID_HANDLE),
// ENOMEM/EAGAIN 8, EROFS 19 (ERROR_WRITE_PROTECT), ETXTBSY 32 (ERROR_SHARING_VIOLATION), EINVAL 87
// (ERROR_INVALID_PARAMETER), ENOSPC/EDQUOT 112 (ERROR_DISK_FULL), EEXIST 183
// (ERROR_ALREADY_EXISTS), ENOEXEC 193 (ERROR_BAD_EXE_FORMAT), ENAMETOOLONG/ELOOP 206
// (ERROR_FILENAME_EXCED_RANGE), EFBIG 223 (ERROR_FILE_TOO_LARGE), E2BIG 1639
// (ERROR_INVALID_COMMAND_LINE). Any other errno becomes 20000 + errno, still recognisable and
// clear of every Windows code the program reports.
std::uint32_t WindowsErrorFromErrno(int error_number);

// The same for a call on a path: a missing file whose folder is missing too is 3
// (ERROR_PATH_NOT_FOUND), as Windows reports it.
std::uint32_t WindowsErrorFromErrno(int error_number, std::string_view path);

// The text of a number made by WindowsErrorFromErrno, in the system's words.
std::string WindowsErrorText(std::uint32_t error);

}  // namespace zarn::platform::posix
