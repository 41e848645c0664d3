#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <system_error>

namespace zarn::test {

namespace {

void SetVariable(const std::string& name, const std::string* value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    path_ = std::filesystem::temp_directory_path() /
            ("zarn-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::error_code error;
    if (std::filesystem::create_directory(path_, error)) break;
  }
}

TempDir::~TempDir() {
  std::error_code error;
  // Read-only files left by a test must not keep the folder alive.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
  }
  std::filesystem::remove_all(path_, error);
}

std::string TempDir::Folder() const {
  std::string folder = path_.string();
  folder += static_cast<char>(std::filesystem::path::preferred_separator);
  return folder;
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
  const char* old = std::getenv(name_.c_str());
  had_value_ = old != nullptr;
  if (old) old_value_ = old;
  SetVariable(name_, &value);
}

ScopedEnv::~ScopedEnv() {
  SetVariable(name_, had_value_ ? &old_value_ : nullptr);
}

}  // namespace zarn::test
