// The Windows executables and libraries that the build makes for these tests (tests.cmake).
#pragma once

#include <string>
#include <string_view>

namespace zarn::test {

inline std::string VersionFixture(std::string_view name) {
  return std::string(ZARN_VERSION_FIXTURES) + "/" + std::string(name);
}

}  // namespace zarn::test
