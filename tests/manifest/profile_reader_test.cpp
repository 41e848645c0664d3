// The private-profile reader on hard input. The expected texts are what the Windows reader returns;
// the same program runs natively (the POSIX reader) and under Wine (GetPrivateProfileStringA), so
// both back ends are held to one table.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kTricky =
    "; comment=1\r\n[Files]\r\n;c=2\r\n#h=3\r\n  key one  =  value one  \r\nnoequals\r\n"
    "=empty key\r\nq1=\"quoted\"\r\nq2=\" spaced \"\r\nq3=\"unbalanced\r\nq4=x\"y\"\r\n"
    "q5='single'\r\nq6=\"\"\r\nq7=\"a\"b\"\r\nq8=\r\ndup=first\r\ndup=second\r\n[Other]\r\nz=1\r\n"
    "[ files ]\r\nlate=yes\r\ndup=third\r\n"sv;

constexpr std::string_view kSections =
    "[S] junk\r\na=1\r\n  ;c=2\r\n[T\r\nb=2\r\n  [U]  \r\nc=3\r\n[]\r\nd=4\r\n[V]W]\r\ne=5\r\n"
    "[X\0Y]\r\nf=6\r\ng\0h=7\r\n=\r\n;\r\n[a=b\r\n[S]\r\nlate=1\r\n"sv;

constexpr std::string_view kLeading = "top=1\r\n[S]\r\na=1\r\n[]\r\nc=3\r\n"sv;

constexpr std::string_view kBlanks =
    "[S]\r\n\tt\t=\tx\t\r\nk1= \x0bv\x0c \r\nk2=\xa0v\xa0\r\nk3=\x01v\x01\r\nw=a=b\r\n"
    "k=v ; c\r\ns=  \"x\"  \r\nz=a \0b\r\nn=a\0b\r\n b = 2 = 3\r\n\xc9t\xe9=lat\r\n\r\n=x\r\n"
    "\x1a eof \x1a= \x1a"
    "1\x1a\r\n"sv;

constexpr std::string_view kNoValues = "[W]\r\na\r\na=1\r\nnoeq\r\nk=1\r\n  spaced noeq  \r\n"sv;

constexpr std::string_view kLengths =
    "[S]\r\nv=abcdefgh\r\nq=\"abcdefgh\"\r\nu=\"abcdefgh\r\nab=\"ab\"\r\nm='ab\"\r\nx=\"\r\n"
    "l=abc\"\r\n[K]\r\nalpha=1\r\nbeta=2\r\n"sv;

constexpr std::string_view kUtf8 = "\xef\xbb\xbf[S]\r\na=1\r\n"sv;
constexpr std::string_view kUtf16Le = "\xff\xfe[\0S\0]\0\r\0\n\0a\0=\0x\0\r\0\n\0"sv;
constexpr std::string_view kUtf16Be = "\xfe\xff\0[\0S\0]\0\r\0\n\0a\0=\0x\0\r\0\n"sv;
constexpr std::string_view kUtf16NoMark = "[\0S\0]\0\r\0\n\0a\0=\0x\0\r\0\n\0"sv;
constexpr std::string_view kLineEnds = "[S]\ra=1\rb=2\r[T]\nc=3\nd=4"sv;

struct ValueCase {
  std::string_view text;
  const char* section;
  const char* key;
  std::size_t size;
  const char* fallback;
  std::string_view expected;
};

void CheckValues(const test::TempDir& folder, std::string_view file_name,
                 std::initializer_list<ValueCase> cases) {
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = folder.Write(std::string(file_name) + std::to_string(n++), c.text);
    SCOPED_TRACE(std::string("[") + c.section + "] " + c.key + " size " + std::to_string(c.size));
    EXPECT_EQ(platform::ReadProfileString(path, c.section, c.key, c.fallback, c.size), c.expected);
  }
}

TEST(ProfileReader, ValuesCommentsQuotesAndRepeats) {
  test::TempDir folder;
  CheckValues(folder, "values",
              {
                  {kTricky, "Files", ";c", 2048, "DEF", "2"},
                  {kTricky, "Files", "#h", 2048, "DEF", "3"},
                  {kTricky, "Files", "key one", 2048, "DEF", "value one"},
                  {kTricky, "Files", "noequals", 2048, "DEF", "DEF"},
                  {kTricky, "Files", "", 2048, "DEF", "empty key"},
                  {kTricky, "Files", "q1", 2048, "DEF", "quoted"},
                  {kTricky, "Files", "q2", 2048, "DEF", " spaced "},
                  {kTricky, "Files", "q3", 2048, "DEF", "\"unbalanced"},
                  {kTricky, "Files", "q4", 2048, "DEF", "x\"y\""},
                  {kTricky, "Files", "q5", 2048, "DEF", "single"},
                  {kTricky, "Files", "q6", 2048, "DEF", ""},
                  {kTricky, "Files", "q7", 2048, "DEF", "a\"b"},
                  {kTricky, "Files", "q8", 2048, "DEF", ""},
                  {kTricky, "FILES", "DUP", 2048, "DEF", "first"},
                  {kTricky, "Files", "late", 2048, "DEF", "DEF"},
                  {kTricky, " Files\t", "\tq1 ", 2048, "DEF", "quoted"},
                  {kTricky, "Other", "z", 2048, "DEF", "1"},
                  {kTricky, "Missing", "z", 2048, "DEF", "DEF"},
                  {kSections, "S", ";c", 10, "D", "2"},
                  {kSections, "S", "b", 10, "D", "2"},
                  {kSections, "X", "[a", 10, "D", "b"},
                  {kSections, "S", "late", 10, "D", "D"},
                  {kSections, "U", "c", 10, "D", "3"},
                  {kSections, "U", "d", 10, "D", "D"},
                  {kSections, "", "d", 10, "D", "D"},
                  {kSections, "V", "e", 10, "D", "D"},
                  {kSections, "V]W", "e", 10, "D", "5"},
                  {kSections, "X", "g", 10, "D", "7"},
                  {kLeading, "", "top", 10, "D", "1"},
                  {kLeading, "", "c", 10, "D", "D"},
                  {kNoValues, "W", "a", 10, "D", "D"},
                  {kNoValues, "W", "spaced noeq", 10, "D", "D"},
              });
}

TEST(ProfileReader, BlanksZerosAndLetterCase) {
  test::TempDir folder;
  CheckValues(folder, "blanks",
              {
                  {kBlanks, "S", "t", 20, "D", "x"},
                  {kBlanks, "S", "k1", 20, "D", "v"},
                  {kBlanks, "S", "k2", 20, "D", "\xa0v\xa0"},
                  {kBlanks, "S", "k3", 20, "D", "\x01v\x01"},
                  {kBlanks, "S", "w", 20, "D", "a=b"},
                  {kBlanks, "S", "k", 20, "D", "v ; c"},
                  {kBlanks, "S", "s", 20, "D", "x"},
                  {kBlanks, "S", "z", 20, "D", "a "},
                  {kBlanks, "S", "n", 20, "D", "a"},
                  {kBlanks, "S", "b", 20, "D", "2 = 3"},
                  {kBlanks, "S", "\xc9t\xe9", 20, "D", "lat"},
                  {kBlanks, "S", "\xe9T\xc9", 20, "D", "D"},  // only ASCII letters fold
                  {kBlanks, "S", "", 20, "D", "x"},
                  {kBlanks, "S", "eof", 20, "D", "1"},  // Ctrl-Z counts as a blank
                  {kLineEnds, "S", "b", 10, "D", "2"},
                  {kLineEnds, "T", "d", 10, "D", "4"},
                  {kUtf8, "S", "a", 10, "D", "1"},
                  {kUtf16Le, "S", "a", 10, "D", "x"},
                  {kUtf16Be, "S", "a", 10, "D", "x"},
                  {kUtf16NoMark, "S", "a", 10, "D", "D"},
              });
}

TEST(ProfileReader, ValuesAndDefaultsAreCutToTheBuffer) {
  test::TempDir folder;
  CheckValues(folder, "cuts",
              {
                  {kLengths, "S", "v", 0, "D", ""},
                  {kLengths, "S", "v", 1, "D", ""},
                  {kLengths, "S", "v", 2, "D", "a"},
                  {kLengths, "S", "v", 8, "D", "abcdefg"},
                  {kLengths, "S", "v", 9, "D", "abcdefgh"},
                  {kLengths, "S", "q", 1, "D", ""},
                  {kLengths, "S", "q", 2, "D", "a"},
                  {kLengths, "S", "q", 8, "D", "abcdefg"},
                  {kLengths, "S", "q", 9, "D", "abcdefg"},
                  {kLengths, "S", "q", 10, "D", "abcdefgh"},
                  {kLengths, "S", "q", 11, "D", "abcdefgh"},
                  {kLengths, "S", "u", 9, "D", "\"abcdefg"},
                  {kLengths, "S", "u", 10, "D", "\"abcdefgh"},
                  {kLengths, "S", "ab", 3, "D", "a"},
                  {kLengths, "S", "ab", 4, "D", "ab"},
                  {kLengths, "S", "m", 10, "D", "'ab\""},
                  {kLengths, "S", "x", 10, "D", "\""},
                  {kLengths, "S", "l", 10, "D", "abc\""},
                  {kLengths, "S", "none", 10, "ERR  ", "ERR"},
                  {kLengths, "S", "none", 10, "  ERR", "  ERR"},
                  {kLengths, "S", "none", 10, "\"ERR\"", "ERR"},
                  {kLengths, "S", "none", 10, "ERR\t ", "ERR\t"},
                  {kLengths, "S", "none", 3, "ABCDEF", "AB"},
                  {kLengths, "S", "none", 9, "\"abcdefgh\"", "abcdefg"},
                  {kLengths, "S", "none", 10, "\"a b\"  ", "a b"},
                  {kLengths, "S", "none", 10, "\"", "\""},
              });
}

TEST(ProfileReader, KeyListsInFileOrderCutToTheBuffer) {
  test::TempDir folder;
  const struct {
    std::string_view text;
    const char* section;
    std::size_t size;
    std::string_view expected;
  } cases[] = {
      {kTricky, "Files", 2048, "#h\0key one\0\0q1\0q2\0q3\0q4\0q5\0q6\0q7\0q8\0dup\0dup\0"sv},
      {kTricky, "missing", 2048, ""sv},
      {kSections, "S", 100, "a\0b\0"sv},
      {kSections, "T", 100, ""sv},
      {kSections, "X", 100, "f\0g\0\0[a\0"sv},
      {kLeading, "", 100, "top\0"sv},
      {kNoValues, "W", 100, "a\0k\0"sv},
      {kLengths, "K", 0, ""sv},
      {kLengths, "K", 1, ""sv},
      {kLengths, "K", 2, ""sv},
      {kLengths, "K", 7, "alpha"sv},
      {kLengths, "K", 8, "alpha\0"sv},
      {kLengths, "K", 9, "alpha\0b"sv},
      {kLengths, "K", 12, "alpha\0beta"sv},
      {kLengths, "K", 13, "alpha\0beta\0"sv},
      {kUtf16Le, "S", 100, "a\0"sv},
      {kUtf16NoMark, "S", 100, ""sv},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = folder.Write("keys" + std::to_string(n++), c.text);
    SCOPED_TRACE(std::string("[") + c.section + "] size " + std::to_string(c.size));
    EXPECT_EQ(platform::ReadProfileKeyBlock(path, c.section, c.size), c.expected);
  }
}

TEST(ProfileReader, MissingOrNonTextFilesGiveTheDefault) {
  test::TempDir folder;
  const std::string missing = folder.PathOf("absent.ini");
  EXPECT_EQ(platform::ReadProfileString(missing, "Files", "a", "ERROR", 2048), "ERROR");
  EXPECT_EQ(platform::ReadProfileKeyBlock(missing, "Files", 2048), "");
  // Bytes that are no INI text: no line opens a section, so Files has nothing.
  std::string binary;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) binary += static_cast<char>(b);
  }
  const std::string junk = folder.Write("junk.bin", binary);
  EXPECT_EQ(platform::ReadProfileString(junk, "Files", "a", "ERROR", 2048), "ERROR");
  EXPECT_EQ(platform::ReadProfileKeyBlock(junk, "Files", 2048), "");
}

}  // namespace
}  // namespace zarn
