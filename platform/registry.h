// The registry: three roots, keys of values with Windows' type numbers. On Windows this is the
// real registry; on POSIX a transactional store shared by the suite's programs.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::platform {

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine };

// The numbers are the platform's REG_* constants, so they can be stored and compared as such.
enum class RegistryType : std::uint32_t {
  kNone = 0,
  kSz = 1,
  kExpandSz = 2,
  kBinary = 3,
  kDword = 4,
  kMultiSz = 7,
};

struct RegistryValue {
  RegistryType type = RegistryType::kNone;
  std::vector<std::uint8_t> data;  // exactly the stored bytes (texts include their NUL)
};

enum class RegistryStatus { kOk, kMissing, kError };

struct RegistryRead {
  RegistryStatus status = RegistryStatus::kMissing;
  RegistryValue value;
};

// An open key; closed when the object goes.
class RegistryKey {
 public:
  enum class Access { kRead, kAll };

  // Opens an existing key; nullptr when it does not exist or cannot be opened (kAll: with full
  // access, which an account without rights over the key's security does not get).
  static std::unique_ptr<RegistryKey> Open(RegistryRoot root, std::string_view path, Access access);
  // Opens a key to read, set values and create sub-keys, creating it and any missing parents;
  // nullptr on failure.
  static std::unique_ptr<RegistryKey> Create(RegistryRoot root, std::string_view path);
  // Deletes a key with all its sub-keys and values, asking only for the rights to list and delete
  // them; false when it did not exist or on failure.
  static bool DeleteTree(RegistryRoot root, std::string_view path);

  virtual ~RegistryKey() = default;

  // Value names compare without letter case; the empty name is the key's default value.
  virtual RegistryRead QueryValue(std::string_view name) = 0;
  virtual bool SetValue(std::string_view name, RegistryType type,
                        std::span<const std::uint8_t> data) = 0;
  virtual bool DeleteValue(std::string_view name) = 0;
  virtual std::vector<std::string> SubKeyNames() = 0;
  virtual std::vector<std::string> ValueNames() = 0;
};

}  // namespace zarn::platform
