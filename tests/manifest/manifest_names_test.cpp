// The checks on the names a manifest gives: "Files" keys inside the program folder, plain "Cabs"
// names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/manifest_names.h"
#include "tests/support/manifest_name_rows.h"

namespace zarn {
namespace {

TEST(ManifestNames, FilesKeysAndCabNames) {
  struct Case {
    std::string name;
    bool inside;  // IsFileInsideProgramFolder
    bool plain;   // IsPlainCabName
  };
  const std::vector<Case> cases = {
      {"zarn4.exe", true, true},
      {"Drivers\\radio.dll", true, false},
      {"Drivers/radio.dll", true, false},
      {"", false, false},
      {"C:\\Windows\\system32\\x.dll", false, false},
      {"C:x.dll", false, false},
      {"x.dll:stream", false, false},
      {"\\\\server\\share\\x.dll", false, false},
      {"\\x.dll", false, false},
      {"/etc/passwd", false, false},
      {"..\\zarn4.exe", false, false},
      {"Drivers\\..\\..\\x.dll", false, false},
      {"./x.dll", false, false},
      {"Drivers\\\\x.dll", false, false},
      {"Drivers\\", false, false},
      {"CON", false, false},
      {"Drivers\\nul.dll", false, false},
      {"CONOUT$", false, false},
      {"x.dll.", false, false},
      {"*.dll", false, false},
      {"x?.dll", false, false},
      {"x\n.dll", false, false},
      {"update.cab", true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFileInsideProgramFolder(c.name), c.inside) << "'" << c.name << "'";
    EXPECT_EQ(IsPlainCabName(c.name), c.plain) << "'" << c.name << "'";
  }
}

TEST(ManifestNames, RefusalsOfKeysAndCabinetNames) {
  for (const auto& row : test::ManifestNameRows()) {
    EXPECT_EQ(FileKeyRefusal(row.key), row.refusal) << "'" << row.key << "'";
    // A cabinet name follows the same rules and has no folder part.
    const bool plain = row.key.find('\\') == std::string::npos;
    const NameRefusal cabinet =
        row.refusal == NameRefusal::kNone && !plain ? NameRefusal::kOutsideFolder : row.refusal;
    EXPECT_EQ(CabNameRefusal(row.key), cabinet) << "'" << row.key << "'";
  }
}

TEST(ManifestNames, ScreeningKeepsTheFirstOfNamesEqualButForCase) {
  const ScreenedKeys screened = ScreenFileKeys({"a.txt", "ERROR", "A.TXT", "z4up.ini", "b.txt"});
  EXPECT_EQ(screened.taken, (std::vector<std::string>{"a.txt", "b.txt"}));
  const std::vector<std::pair<std::string, NameRefusal>> refused = {
      {"ERROR", NameRefusal::kListMarker},
      {"A.TXT", NameRefusal::kListedTwice},
      {"z4up.ini", NameRefusal::kManifestName}};
  EXPECT_EQ(screened.refused, refused);
}

}  // namespace
}  // namespace zarn
