// Class ids in their registry form, as the class keys name them.
#include "common/guid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zarn {
namespace {

TEST(Guid, RegistryFormRoundTripsInUpperCase) {
  const Guid category{0x3A7D1000, 0x7634, 0x11D4, {0x8F, 0xE6, 0x00, 0x00, 0xB4, 0x56, 0xAD, 0x69}};
  EXPECT_EQ(GuidToString(category), "{3A7D1000-7634-11D4-8FE6-0000B456AD69}");
  EXPECT_EQ(ParseGuid("{3A7D1000-7634-11D4-8FE6-0000B456AD69}"), category);
  EXPECT_EQ(ParseGuid("{3a7d1000-7634-11d4-8fe6-0000b456ad69}"), category);
  EXPECT_EQ(GuidToString(Guid{}), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, AnythingButTheRegistryFormIsRefused) {
  const std::vector<std::string> refused = {
      "",
      "3A7D1000-7634-11D4-8FE6-0000B456AD69",     // no braces
      "{3A7D1000-7634-11D4-8FE6-0000B456AD6}",    // a digit short
      "{3A7D1000-7634-11D4-8FE6-0000B456AD690}",  // a digit long
      "{3A7D1000-7634-11D4-8FE60000B456AD69-}",   // hyphen misplaced
      "{3A7D1000-7634-11D4-8FE6-0000B456AD6G}",   // not hexadecimal
      "{3A7D1000-7634-11D4-8FE6-0000B456AD69 ",   // no closing brace
      "{+A7D1000-7634-11D4-8FE6-0000B456AD69}",   // a sign is no digit
      "Implemented Categories",
  };
  for (const std::string& text : refused) EXPECT_FALSE(ParseGuid(text)) << text;
}

}  // namespace
}  // namespace zarn
