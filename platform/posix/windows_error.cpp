#include "platform/posix/windows_error.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace zarn::platform::posix {

namespace {

struct ErrorRow {
  int error_number;
  std::uint32_t windows;
};

// The first row of a Windows number also gives its text (the errno's own words).
constexpr ErrorRow kRows[] = {
    {ENOENT, 2},  {ENOTDIR, 3},  {EMFILE, 4},   {ENFILE, 4},   {EACCES, 5},    {EPERM, 5},
    {EISDIR, 5},  {EBADF, 6},    {ENOMEM, 8},   {EAGAIN, 8},   {EROFS, 19},    {ETXTBSY, 32},
    {EINVAL, 87}, {ENOSPC, 112}, {EDQUOT, 112}, {EEXIST, 183}, {ENOEXEC, 193}, {ENAMETOOLONG, 206},
    {ELOOP, 206}, {EFBIG, 223},  {E2BIG, 1639},
};

constexpr std::uint32_t kOtherErrno = 20000;

}  // namespace

std::uint32_t WindowsErrorFromErrno(int error_number) {
  for (const ErrorRow& row : kRows) {
    if (row.error_number == error_number) return row.windows;
  }
  return kOtherErrno + static_cast<std::uint32_t>(error_number);
}

std::uint32_t WindowsErrorFromErrno(int error_number, std::string_view path) {
  if (error_number == ENOENT) {
    std::string folder(path);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const auto cut = folder.rfind('/');
    folder = cut == std::string::npos ? "." : cut == 0 ? "/" : folder.substr(0, cut);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return 3;
  }
  return WindowsErrorFromErrno(error_number);
}

std::string WindowsErrorText(std::uint32_t error) {
  if (error >= kOtherErrno) return std::strerror(static_cast<int>(error - kOtherErrno));
  if (error == 3) return "The system cannot find the path specified";
  for (const ErrorRow& row : kRows) {
    if (row.windows == error) return std::strerror(row.error_number);
  }
  return "Error " + std::to_string(error);
}

}  // namespace zarn::platform::posix
