// Registry contents for one test, in the test program's scratch store (POSIX) or the registry of
// the throw-away Wine prefix (Windows). Every key and value the test sets is put back as it was
// when the sandbox goes, so that tests of one program do not see each other's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zarn::test {

class RegistrySandbox {
 public:
  RegistrySandbox() = default;
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  void CreateKey(platform::RegistryRoot root, std::string_view path);
  void SetValue(platform::RegistryRoot root, std::string_view path, std::string_view name,
                platform::RegistryType type, std::vector<std::uint8_t> data);
  // A REG_SZ value with its terminating NUL.
  void SetText(platform::RegistryRoot root, std::string_view path, std::string_view name,
               std::string_view text);
  void DeleteValue(platform::RegistryRoot root, std::string_view path, std::string_view name);

 private:
  struct SavedValue {
    platform::RegistryRoot root;
    std::string path;
    std::string name;
    platform::RegistryRead previous;
  };
  struct CreatedKey {
    platform::RegistryRoot root;
    std::string path;
  };
  void SaveValue(platform::RegistryRoot root, std::string_view path, std::string_view name);

  std::vector<SavedValue> saved_values_;
  std::vector<CreatedKey> created_keys_;
};

}  // namespace zarn::test
