#include <gtest/gtest.h>

#include "app/version_comparison.h"
#include "common/exception.h"

namespace zarn {
namespace {

TEST(VersionToNumber, WeighsFourFieldsAndWraps) {
  const struct {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"4.1.0.5", 4010005},
      {"4.1.0.10", 4010010},
      {"4.1", 4010000},
      {"4.1.", 4010000},  // the piece after a trailing dot is no field
      {"", 0},
      {"7", 7000000},
      {"1.2.3.100", 1020400},  // a field of 100 spills into the one before
      {"1.2.4.0", 1020400},
      {"-1", -1000000},
      {"+1.2", 1020000},
      {"3000", -1294967296},        // 3000 * 1000000 wraps in 32 bits
      {"1569156527", -1184659008},  // a packed date read as a version of one field
      {"1.2.3.4.5", 1020304},       // fields after the fourth are ignored...
      {"1.2.3.4.x..", 1020304},     // ...unread, so they cannot fail
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VersionToNumber(c.text), c.expected) << c.text;
  }
}

TEST(VersionToNumber, BadFieldFailsNamingTheField) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"4..1", "'' is not a valid integer value"},
      {".4", "'' is not a valid integer value"},
      {"4.1a.0.7", "'1a' is not a valid integer value"},
      {"4,1,0,5", "'4,1,0,5' is not a valid integer value"},
      {"4.1.0.99999999999", "'99999999999' is not a valid integer value"},
      {"4.$10", "'$10' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    try {
      VersionToNumber(c.text);
      ADD_FAILURE() << c.text << " converted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(IsOlderVersion, ComparesTheNumbers) {
  const struct {
    const char* installed;
    const char* listed;
    bool older;
  } cases[] = {
      {"4.1.0.5", "4.1.0.10", true},    {"4.1.0.7", "4.1.0.7", false},
      {"4.1.0.8", "4.1.0.7", false},    {"4.1", "4.1.0.1", true},
      {"4.1.", "4.1.0.0", false},       {"1.2.3.100", "1.2.4.0", false},
      {"4.1.0.5", "1569156527", false},  // the wrapped packed date ranks below
      {"3.9.99.99", "4", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsOlderVersion(c.installed, c.listed), c.older) << c.installed << " " << c.listed;
  }
}

}  // namespace
}  // namespace zarn
