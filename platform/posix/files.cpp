// Files and folders on POSIX. A file without the owner's write permission stands for a Windows
// read-only file: deleting it is refused, as it would be there.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/posix/windows_error.h"

namespace zarn::platform {

namespace {

bool StatPath(std::string_view path, struct stat& info) {
  return ::stat(std::string(path).c_str(), &info) == 0;
}

// Strips one trailing delimiter so that "dir/" and "dir" name the same folder.
std::string WithoutTrailingDelimiter(std::string_view path) {
  std::string p(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

char PathDelimiter() {
  return '/';
}
bool FileNamesIgnoreCase() {
  return false;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool FileExists(std::string_view path) {
  struct stat info {};
  return StatPath(path, info) && !S_ISDIR(info.st_mode);
}

bool RegularFileExists(std::string_view path) {
  struct stat info {};
  return ::lstat(std::string(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat info {};
  return !path.empty() && StatPath(path, info) && S_ISDIR(info.st_mode);
}

bool CreateFolder(std::string_view path) {
  return ::mkdir(WithoutTrailingDelimiter(path).c_str(), 0777) == 0;
}

bool EnsurePrivateFolder(std::string_view path) {
  const std::string p = WithoutTrailingDelimiter(path);
  if (::mkdir(p.c_str(), 0700) == 0) return true;
  struct stat info {};
  if (errno != EEXIST || ::lstat(p.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  return info.st_uid == ::geteuid() && ::chmod(p.c_str(), 0700) == 0;
}

bool RemoveFolder(std::string_view path) {
  return ::rmdir(WithoutTrailingDelimiter(path).c_str()) == 0;
}

bool DeleteFile(std::string_view path) {
  const std::string p(path);
  struct stat info {};
  if (::lstat(p.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  if (!S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return false;
  }
  return ::unlink(p.c_str()) == 0;
}

bool RenameFile(std::string_view from, std::string_view to, std::uint32_t& error) {
  // Like Windows' MoveFile, an existing `to` is not replaced.
  if (::renameat2(AT_FDCWD, std::string(from).c_str(), AT_FDCWD, std::string(to).c_str(),
                  RENAME_NOREPLACE) == 0) {
    return true;
  }
  error = posix::WindowsErrorFromErrno(errno);
  return false;
}

std::optional<std::uint64_t> FreeDiskSpace(std::string_view folder) {
  struct statvfs info {};
  if (::statvfs(WithoutTrailingDelimiter(folder).c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::vector<std::string> ListPlainFiles(std::string_view folder) {
  std::vector<std::string> names;
  const std::string dir = WithoutTrailingDelimiter(folder);
  DIR* handle = ::opendir(dir.c_str());
  if (handle == nullptr) return names;
  while (const dirent* entry = ::readdir(handle)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;  // hidden, and "." and ".."
    struct stat info {};
    if (::lstat((dir + "/" + name).c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) names.push_back(name);
  }
  ::closedir(handle);
  return names;
}

std::vector<FolderEntry> ListFolderEntries(std::string_view folder) {
  std::vector<FolderEntry> entries;
  const std::string dir = WithoutTrailingDelimiter(folder);
  DIR* handle = ::opendir(dir.c_str());
  if (handle == nullptr) return entries;
  while (const dirent* entry = ::readdir(handle)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (::lstat((dir + "/" + name).c_str(), &info) != 0) continue;
    entries.push_back({name, S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)});
  }
  ::closedir(handle);
  return entries;
}

bool RemoveLink(std::string_view path) {
  const std::string p(path);
  struct stat info {};
  return ::lstat(p.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::unlink(p.c_str()) == 0;
}

bool WriteWholeFile(std::string_view path, std::span<const char> bytes, std::uint32_t& error) {
  const int fd = ::open(std::string(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = posix::WindowsErrorFromErrno(errno, path);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = posix::WindowsErrorFromErrno(errno);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    error = posix::WindowsErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool SetReadOnly(std::string_view path, bool read_only) {
  const std::string p(path);
  struct stat info {};
  if (::stat(p.c_str(), &info) != 0) return false;
  const mode_t write_bits = S_IWUSR | S_IWGRP | S_IWOTH;
  const mode_t mode = read_only ? (info.st_mode & ~write_bits) : (info.st_mode | S_IWUSR);
  return ::chmod(p.c_str(), mode & 07777) == 0;
}

bool TakePermissionsOf(std::string_view model, std::string_view path) {
  struct stat info{};
  if (::stat(std::string(model).c_str(), &info) != 0) return false;
  return ::chmod(std::string(path).c_str(), info.st_mode & 07777) == 0;
}

}  // namespace zarn::platform
