// The memory and file callbacks that need nothing of the component, and the warning box that the
// write, close and seek callbacks show when their operation failed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zarn::cab_callbacks {

void* Alloc(unsigned long size);
void Free(void* block);
// The access mode is the low two bits of the C library's open flags (read, write, read-write).
std::intptr_t Open(char* name, int flags, int mode);
unsigned Read(std::intptr_t file, void* buffer, unsigned count);
long Seek(std::intptr_t file, long distance, int origin);

// Shows the system's text for the error in a modal "Error" box with a warning icon, or hands the
// text to the handler of the FileErrorRoute that lives.
void ShowSystemError(std::uint32_t error);

// While it lives, the text of every file error goes to `handler` in place of the box. The
// library's callbacks carry no value of the caller's, so the route is process-wide, like the one
// extraction that may run at a time.
class FileErrorRoute {
 public:
  explicit FileErrorRoute(std::function<void(const std::string& text)> handler);
  ~FileErrorRoute();
  FileErrorRoute(const FileErrorRoute&) = delete;
  FileErrorRoute& operator=(const FileErrorRoute&) = delete;

 private:
  std::function<void(const std::string& text)> handler_;
  const FileErrorRoute* previous_;
  friend void ShowSystemError(std::uint32_t error);
};

}  // namespace zarn::cab_callbacks
