// A folder of its own for one test, under the system's temporary folder, removed with everything
// in it (read-only and hidden files included) when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace zarn::platform {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The path of name inside the folder; Path("") is the folder with a trailing backslash.
  std::string Path(std::string_view name) const { return root_ + std::string(name); }

 private:
  std::string root_;
};

}  // namespace zarn::platform
