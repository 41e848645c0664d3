#include "platform/posix/windows_error.h"

#include <cerrno>

namespace zarn::platform::posix {

std::uint32_t WindowsErrorFromErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
      return 2;
    case ENOTDIR:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
    case EISDIR:
      return 5;
    case ENOMEM:
    case EAGAIN:
      return 8;
    case EROFS:
      return 19;
    case ETXTBSY:
      return 32;
    case ENOSPC:
    case EDQUOT:
      return 112;
    case EEXIST:
      return 183;
    case ENOEXEC:
      return 193;
    case EFBIG:
      return 223;
    case ENAMETOOLONG:
    case ELOOP:
      return 206;
    case E2BIG:
      return 1639;
    default:
      return 20000u + static_cast<std::uint32_t>(error_number);
  }
}

}  // namespace zarn::platform::posix
