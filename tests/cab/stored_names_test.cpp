// The checks on stored names and the path pieces built from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cab/stored_names.h"

namespace zarn {
namespace {

TEST(StoredNames, SafeAndUnsafe) {
  struct Case {
    std::string name;
    bool safe;
  };
  const std::vector<Case> cases = {
      {"plain.txt", true},       {"folder\\file.txt", true},
      {"a/b\\c.dat", true},      {"..dots.txt", true},
      {"con.txt.bak\\x", false}, {"console.txt", true},
      {"com10.txt", true},       {"com0", false},
      {"LPT0.txt", false},       {"com\xb9", false},
      {"lpt\xb2.log", false},   {"COM\xb3", false},
      {"com\xb4", true},
      {"lpt1", false},           {"NUL.txt", false},
      {"x\\prn", false},         {"", false},
      {"\\root.txt", false},     {"/root.txt", false},
      {"c:file", false},         {"dir\\..\\file", false},
      {"dir\\.\\file", false},   {"dir\\", false},
      {"dir\\\\file", false},    {"name.", false},
      {"name ", false},          {"... ", false},
      {"a\\ \\b", false},        {".hidden", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSafeStoredName(c.name), c.safe) << "'" << c.name << "'";
  }
}

TEST(StoredNames, PathPieces) {
  EXPECT_EQ(LocalStoredName("a\\b/c.txt", '/'), "a/b/c.txt");
  EXPECT_EQ(LocalStoredName("a\\b/c.txt", '\\'), "a\\b\\c.txt");
  EXPECT_EQ(FolderPart("a/b/c.txt", '/'), "a/b");
  EXPECT_EQ(FolderPart("c.txt", '/'), "");
  EXPECT_EQ(FolderPart("C:\\x\\y.cab", '\\'), "C:\\x");
  EXPECT_EQ(FolderPart("C:\\x/y.cab", '\\'), "C:\\x");
  EXPECT_EQ(NamePart("/tmp/x/y.cab", '/'), "y.cab");
  EXPECT_EQ(NamePart("y.cab", '\\'), "y.cab");
  EXPECT_EQ(NamePart("C:\\x\\y.cab", '\\'), "y.cab");
}

}  // namespace
}  // namespace zarn
