// The program's own version data, as both back ends answer it: the Windows build from its
// version resource, the POSIX build from compiled-in data. The test program carries the same data.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/version_info.h"
#include "zarn_version.h"

namespace zarn::platform {
namespace {

TEST(OwnVersionInfo, AnswersTheTranslationAndEveryKeyOfTheProgram) {
  const auto info = VersionInfo::Load(ExecutablePath());
  ASSERT_NE(info, nullptr);
  const auto translation = info->FirstTranslation();
  ASSERT_TRUE(translation.has_value());
  EXPECT_EQ(translation->language, 0x0409);
  EXPECT_EQ(translation->code_page, 1200);

  const struct {
    const char* key;
    const char* value;
  } cases[] = {
      {"CompanyName", "Brenicsoft"},           {"FileDescription", "ZARN 4 Program Update"},
      {"FileVersion", ZARN_VERSION_TEXT},      {"InternalName", "zarn4update"},
      {"OriginalFilename", "zarn4update.exe"}, {"ProductName", "ZARN 4"},
      {"ProductVersion", ZARN_VERSION_TEXT},
  };
  for (const auto& c : cases) {
    const auto value = info->QueryString(std::string("\\StringFileInfo\\040904B0\\") + c.key);
    ASSERT_TRUE(value.has_value()) << c.key;
    EXPECT_EQ(*value, c.value) << c.key;
  }
  EXPECT_FALSE(info->QueryString("\\StringFileInfo\\040904B0\\LegalTradeMarks").has_value());
  EXPECT_FALSE(info->QueryString("\\StringFileInfo\\04070000\\FileVersion").has_value());
}

}  // namespace
}  // namespace zarn::platform
