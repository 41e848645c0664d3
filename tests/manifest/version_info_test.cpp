// Version resources of real Windows files made by windres and the mingw linkers. The expected
// texts are what GetFileVersionInfoA and VerQueryValueA give; natively the POSIX reader answers,
// under Wine the Windows functions, so one table holds both.
#include "platform/version_info.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/temp_dir.h"
#include "version_fixtures.h"

namespace zarn {
namespace {

using test::VersionFixture;

TEST(VersionInfo, TranslationTablesGiveTheirFirstEntry) {
  const struct {
    const char* file;
    std::optional<std::uint16_t> language, code_page;
  } cases[] = {
      {"strings.exe", 0x0409, 1200},
      {"strings64.dll", 0x0409, 1200},
      {"two_languages.dll", 0x0407, 1252},
      {"japanese.dll", 0x0411, 932},
      {"no_translation.dll", std::nullopt, std::nullopt},
      // Several resources: the loader's choice of language, U.S. English or neutral.
      {"resource_languages.dll", 0x0409, 1200},
      {"neutral_language.dll", 0x0000, 1200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto info = platform::VersionInfo::Load(VersionFixture(c.file));
    ASSERT_NE(info, nullptr);
    const auto translation = info->FirstTranslation();
    ASSERT_EQ(translation.has_value(), c.language.has_value());
    if (translation) {
      EXPECT_EQ(translation->language, *c.language);
      EXPECT_EQ(translation->code_page, *c.code_page);
    }
  }
}

TEST(VersionInfo, StringQueriesFollowTheVersionFunctions) {
  const struct {
    const char* file;
    const char* query;
    std::optional<std::string> expected;
  } cases[] = {
      {"strings.exe", "\\StringFileInfo\\040904B0\\FileVersion", "4.1.0.5"},
      {"strings.exe", "\\stringfileinfo\\040904b0\\fileversion", "4.1.0.5"},
      {"strings.exe", "StringFileInfo\\040904B0\\CompanyName", "Brenicsoft"},
      {"strings.exe", "\\StringFileInfo\\040904B0\\CompanyName\\", "Brenicsoft"},
      {"strings.exe", "\\StringFileInfo\\\\040904B0\\CompanyName", "Brenicsoft"},
      {"strings.exe", "\\StringFileInfo\\040904B0\\Comments", "M\xfcller \x80 ?"},
      {"strings.exe", "\\StringFileInfo\\040904B0\\Empty", ""},
      {"strings.exe", "\\StringFileInfo\\040904B0", ""},  // a table has no text of its own
      {"strings.exe", "\\StringFileInfo\\040904B0\\CompanyN", std::nullopt},
      {"strings.exe", "\\StringFileInfo\\040704E4\\FileVersion", std::nullopt},
      {"strings64.dll", "\\StringFileInfo\\040904B0\\FileVersion", "4.1.0.5"},
      {"strings64.dll", "\\StringFileInfo\\040904B0\\Comments", "M\xfcller \x80 ?"},
      {"two_languages.dll", "\\StringFileInfo\\040704E4\\FileVersion", "4.1.0.7"},
      {"two_languages.dll", "\\StringFileInfo\\040904B0\\FileVersion", "9.9.9.9"},
      {"no_translation.dll", "\\StringFileInfo\\040904B0\\FileVersion", "1.0.0.0"},
      {"japanese.dll", "\\StringFileInfo\\041103A4\\FileVersion", "2.0.0.0"},
      {"commas.dll", "\\StringFileInfo\\040904B0\\FileVersion", "4,1,0,5"},
      {"resource_languages.dll", "\\StringFileInfo\\040904B0\\FileVersion", "9.0.0.0"},
      {"resource_languages.dll", "\\StringFileInfo\\040704B0\\FileVersion", std::nullopt},
      {"binary_strings.dll", "\\StringFileInfo\\040904B0\\FileVersion", "4.1.0.5"},
      {"binary_strings.dll", "\\StringFileInfo\\040904B0\\CompanyName", "Brenicsoft"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.query);
    const auto info = platform::VersionInfo::Load(VersionFixture(c.file));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->QueryString(c.query), c.expected);
  }
}

TEST(VersionInfo, FilesWithoutAVersionResourceHaveNone) {
  test::TempDir folder;
  EXPECT_EQ(platform::VersionInfo::Load(VersionFixture("plain.exe")), nullptr);
  EXPECT_EQ(platform::VersionInfo::Load(folder.Write("text.exe", "MZ but nothing more")), nullptr);
  EXPECT_EQ(platform::VersionInfo::Load(folder.Write("empty.dll", "")), nullptr);
  EXPECT_EQ(platform::VersionInfo::Load(folder.PathOf("absent.dll")), nullptr);
}

}  // namespace
}  // namespace zarn
