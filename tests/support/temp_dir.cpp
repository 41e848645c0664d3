#include "tests/support/temp_dir.h"

#include "tests/support/file_contents.h"

#include <atomic>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include "platform/win32/windows_api.h"
#endif

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

// Lets an entry be deleted: read-only files (and on Windows read-only, hidden and system
// attributes) would otherwise keep the folder alive.
void MakeRemovable(const std::filesystem::path& path) {
#ifdef _WIN32
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
  std::error_code ignored;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
#endif
}

}  // namespace

TempDir::TempDir() {
  // A random part keeps concurrent runs apart (other build folders, other checkouts); creating
  // the folder claims the name, so a name another process took is simply skipped.
  static std::atomic<unsigned> counter{0};
  static const unsigned long long run = [] {
    std::random_device random;
    return (static_cast<unsigned long long>(random()) << 32) ^ random();
  }();
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    path_ = base / ("zarn-test-" + std::to_string(run) + "-" + std::to_string(counter++));
    std::error_code error;
    if (std::filesystem::create_directory(path_, error)) return;
  }
  throw std::runtime_error("cannot create a scratch folder below " + base.string());
}

TempDir::~TempDir() {
  std::error_code error;
  MakeRemovable(path_);
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    MakeRemovable(it->path());
  }
  std::filesystem::remove_all(path_, error);
}

std::string TempDir::Folder() const {
  std::string folder = path_.string();
  folder += static_cast<char>(std::filesystem::path::preferred_separator);
  return folder;
}

std::string TempDir::PathOf(std::string_view name) const {
  return std::filesystem::path(Folder() + std::string(name)).make_preferred().string();
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::string path = PathOf(name);
  WriteBytes(path, bytes);
  return path;
}

ScopedEnv::ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
  const char* old = std::getenv(name_.c_str());
  had_value_ = old != nullptr;
  if (old) old_value_ = old;
  const std::string text = value ? value : "";
  SetVariable(name_, value ? &text : nullptr);
}

ScopedEnv::~ScopedEnv() {
  SetVariable(name_, had_value_ ? &old_value_ : nullptr);
}

}  // namespace zarn::test
