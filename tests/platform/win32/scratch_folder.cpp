#include "tests/platform/win32/scratch_folder.h"

#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

void RemoveAll(const std::string& folder) {
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveAll(path + "\\");
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  char name[MAX_PATH];
  GetTempFileNameA(temp, "zt", 0, name);  // a unique name, taken as a file
  DeleteFileA(name);
  CreateDirectoryA(name, nullptr);
  root_ = std::string(name) + "\\";
}

ScratchFolder::~ScratchFolder() {
  RemoveAll(root_);
}

}  // namespace zarn::platform
