// Gives a test an empty settings key, before and after it, and reads and writes its values.
// (The test program's store is already a scratch one of its own.)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarn::test {

class SettingsSandbox {
 public:
  SettingsSandbox();
  ~SettingsSandbox();

  void SetDword(std::string_view name, std::uint32_t value);
  void SetString(std::string_view name, std::string_view value);
  std::optional<std::uint32_t> GetDword(std::string_view name);
  std::string GetString(std::string_view name);
};

}  // namespace zarn::test
