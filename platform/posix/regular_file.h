// Reading whole files that the program did not make (manifests, executables) safely: only regular
// files are read, and only up to a cap, so that a name of a device (/dev/zero) or a FIFO cannot
// grow memory without end or block the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarn::platform::posix {

// What identifies one version of a file: a rewrite changes its size or its modification time.
struct FileVersionStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  bool operator==(const FileVersionStamp&) const = default;
};

// The stamp of a regular file; nothing for anything else or a missing file.
std::optional<FileVersionStamp> RegularFileStamp(std::string_view path);

// A regular file of at most a given size, open for reading parts of it where they are needed.
class RegularFile {
 public:
  // Nothing for a missing or unreadable file, one that is not regular, or one over max_bytes.
  static std::optional<RegularFile> Open(std::string_view path, std::int64_t max_bytes);
  ~RegularFile();
  RegularFile(RegularFile&& other) noexcept;
  RegularFile& operator=(RegularFile&&) = delete;
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  const FileVersionStamp& Stamp() const { return stamp_; }
  // The `length` bytes at `offset`, all of them within the size the file had when opened; nothing
  // when they are not all there or reading fails.
  std::optional<std::string> ReadAt(std::uint64_t offset, std::size_t length) const;
  // Up to `length` bytes at `offset`, fewer where the file ends first; nothing when reading fails.
  std::optional<std::string> ReadUpTo(std::uint64_t offset, std::size_t length) const;

 private:
  RegularFile(int fd, const FileVersionStamp& stamp) : fd_(fd), stamp_(stamp) {}
  int fd_;
  FileVersionStamp stamp_;
};

// The whole of a regular file of at most max_bytes, with the stamp of the version read; nothing
// for a missing or unreadable file, one that is not regular, or a larger one.
std::optional<std::string> ReadRegularFile(std::string_view path, std::int64_t max_bytes,
                                           FileVersionStamp* stamp = nullptr);

}  // namespace zarn::platform::posix
