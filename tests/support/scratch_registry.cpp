#include "tests/support/scratch_registry.h"

#include <cstdlib>
#include <filesystem>
#include <random>

namespace zarn::test {

namespace {

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

// The folder, removed with everything in it when the process ends normally.
class Folder {
 public:
  Folder() {
    std::random_device random;
    std::error_code ignored;
    path_ = (std::filesystem::temp_directory_path(ignored) /
             ("zarn4-test-" + std::to_string(random()) + std::to_string(random())))
                .string();
    std::filesystem::create_directories(path_, ignored);
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string ScratchFolder() {
  static const Folder folder;
  return folder.path();
}

void UseScratchRegistry() {
  SetEnvironment("ZARN4_REGISTRY",
                 (std::filesystem::path(ScratchFolder()) / "registry.db").string());
}

}  // namespace zarn::test
