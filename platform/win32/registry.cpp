// The Windows registry through the ANSI registry functions. Each key object holds one open
// handle and closes it when it goes.
#include "platform/registry.h"

#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
  }
  return HKEY_CURRENT_USER;
}

// An open key handle, closed when it goes.
class KeyHandle {
 public:
  KeyHandle() = default;
  explicit KeyHandle(HKEY key) : key_(key) {}
  ~KeyHandle() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;

  HKEY Get() const { return key_; }
  HKEY* Receive() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}

  RegistryRead QueryValue(std::string_view name) override {
    const std::string value_name(name);
    RegistryRead read;
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key_.Get(), value_name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the size query and the read: ask again until it fits.
    std::vector<std::uint8_t> data;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      data.resize(size);
      status = RegQueryValueExA(key_.Get(), value_name.c_str(), nullptr, &type, data.data(), &size);
      if (status == ERROR_SUCCESS) {
        data.resize(size);
        read.status = RegistryStatus::kOk;
        read.value.type = static_cast<RegistryType>(type);
        read.value.data = std::move(data);
        return read;
      }
    }
    read.status =
        status == ERROR_FILE_NOT_FOUND ? RegistryStatus::kMissing : RegistryStatus::kError;
    return read;
  }

  bool SetValue(std::string_view name, RegistryType type,
                std::span<const std::uint8_t> data) override {
    const std::string value_name(name);
    return RegSetValueExA(key_.Get(), value_name.c_str(), 0, static_cast<DWORD>(type), data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }

  bool DeleteValue(std::string_view name) override {
    return RegDeleteValueA(key_.Get(), std::string(name).c_str()) == ERROR_SUCCESS;
  }

  std::vector<std::string> SubKeyNames() override { return SubKeyNamesOf(key_.Get()); }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(key_.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return names;
    }
    std::string name(longest + 1, '\0');
    for (DWORD index = 0;; ++index) {
      DWORD length = static_cast<DWORD>(name.size());
      const LONG status = RegEnumValueA(key_.Get(), index, name.data(), &length, nullptr, nullptr,
                                        nullptr, nullptr);
      if (status != ERROR_SUCCESS) break;
      names.emplace_back(name.data(), length);
    }
    return names;
  }

  static std::vector<std::string> SubKeyNamesOf(HKEY key) {
    std::vector<std::string> names;
    char name[256];  // key names are at most 255 characters
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      names.emplace_back(name, length);
    }
    return names;
  }

 private:
  KeyHandle key_;
};

// Deletes the sub-keys of key depth first, then the key itself from its parent. Listing the
// sub-keys needs only the right to enumerate them, and RegDeleteKeyA asks for DELETE itself; a
// key that may not be listed is still deleted when it has no sub-keys.
bool DeleteKeyAndBelow(HKEY parent, const std::string& path) {
  {
    KeyHandle key;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, key.Receive()) ==
        ERROR_SUCCESS) {
      for (const std::string& child : Win32RegistryKey::SubKeyNamesOf(key.Get())) {
        if (!DeleteKeyAndBelow(key.Get(), child)) return false;
      }
    }
  }
  return RegDeleteKeyA(parent, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace

std::unique_ptr<RegistryKey> RegistryKey::Open(RegistryRoot root, std::string_view path,
                                               Access access) {
  HKEY key = nullptr;
  const REGSAM sam = access == Access::kRead ? KEY_READ : KEY_ALL_ACCESS;
  if (RegOpenKeyExA(RootKey(root), std::string(path).c_str(), 0, sam, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::make_unique<Win32RegistryKey>(key);
}

// A created key is read and given values and sub-keys, and nothing more: no right over its
// security, owner or links, which an account allowed to write values may lack.
constexpr REGSAM kCreateAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

std::unique_ptr<RegistryKey> RegistryKey::Create(RegistryRoot root, std::string_view path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(RootKey(root), std::string(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      kCreateAccess, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::make_unique<Win32RegistryKey>(key);
}

bool RegistryKey::DeleteTree(RegistryRoot root, std::string_view path) {
  if (path.empty()) return false;  // never the whole root
  return DeleteKeyAndBelow(RootKey(root), std::string(path));
}

}  // namespace zarn::platform
