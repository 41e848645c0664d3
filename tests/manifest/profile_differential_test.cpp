// Generated INI texts read from a file through the platform's reader and parsed in memory by the
// POSIX back end's reader, which is plain C++ and is compiled into this program on both back ends.
// Under Wine this holds GetPrivateProfileStringA and the POSIX reader to the same results on texts
// no table foresaw; natively both sides are the POSIX reader, so there it checks only that reading
// the file (and keeping its parsed form) changes nothing.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>

#include "platform/posix/ini_document.h"
#include "platform/profile.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using namespace std::string_view_literals;

// Lines built from the pieces the reader has rules for, and names of arbitrary bytes.
constexpr std::array kLines{
    "[S]"sv,
    "[ s ]"sv,
    "[S] tail"sv,
    "[]"sv,
    "[S"sv,
    "  [T]  "sv,
    "[T]=x"sv,
    "[a]b]"sv,
    "a=1"sv,
    " A = 2 "sv,
    "a"sv,
    ";a=3"sv,
    "=4"sv,
    "b=\"q\""sv,
    "b='x"sv,
    "c=\"\""sv,
    "a\0x=5"sv,
    "d= \"  v  \" "sv,
    "\tb\t=\t\"long value\"\t"sv,
    "c=x=y"sv,
    "#a=6"sv,
    ""sv,
    "   "sv,
    "d=\xe9\xa0z"sv,
    "e = 'quoted'"sv,
    "e\0"sv,
    "b=\"cut\0here\""sv,
    " ; c = 7"sv,
};
constexpr std::array kLineEnds{"\r\n"sv, "\n"sv, "\r"sv, "\n\r"sv};
constexpr std::array kSections{"S", "s", "T", "", "a", "X"};
constexpr std::array kKeys{"a", "A", "b", "c", "d", "e", ";a", "", "#a", " c "};
constexpr std::array<std::size_t, 7> kValueSizes{1, 2, 3, 4, 6, 9, 2048};
constexpr std::array<std::size_t, 8> kBlockSizes{0, 1, 2, 3, 5, 8, 13, 2048};

std::string GenerateIni(unsigned seed) {
  std::minstd_rand random(seed);
  std::string text;
  const auto lines = 3 + random() % 14;
  for (unsigned i = 0; i < lines; ++i) {
    if (random() % 4 == 0) {  // a name of any six bytes
      for (int k = 0; k < 6; ++k) text += static_cast<char>(random() % 256);
      text += "=v";
    } else {
      text += kLines[random() % kLines.size()];
    }
    text += kLineEnds[random() % kLineEnds.size()];
  }
  return text;
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      out += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += {'\\', 'x', kHex[u >> 4], kHex[u & 15]};
    }
  }
  return out;
}

TEST(ProfileDifferential, GeneratedTextsReadAlikeFromFileAndFromMemory) {
  test::TempDir folder;
  int mismatches = 0;
  for (unsigned seed = 1; seed <= 200 && mismatches < 10; ++seed) {
    const std::string text = GenerateIni(seed);
    const std::string path = folder.Write("generated" + std::to_string(seed) + ".ini", text);
    const auto document = platform::IniDocument::Parse(text);
    for (const char* section : kSections) {
      for (const char* key : kKeys) {
        for (const std::size_t size : kValueSizes) {
          const auto value = document.FindValue(section, key);
          const std::string expected = value ? platform::CopyProfileValue(*value, size)
                                             : platform::CopyProfileDefault("DEF ", size);
          const std::string actual = platform::ReadProfileString(path, section, key, "DEF ", size);
          if (actual != expected && ++mismatches <= 10) {
            ADD_FAILURE() << Escaped(text) << "\n[" << section << "] '" << key << "' size " << size
                          << ": platform '" << Escaped(actual) << "', POSIX reader '"
                          << Escaped(expected) << "'";
          }
        }
      }
      for (const std::size_t size : kBlockSizes) {
        const std::string expected = platform::CutKeyBlock(document.ListedKeys(section), size);
        const std::string actual = platform::ReadProfileKeyBlock(path, section, size);
        if (actual != expected && ++mismatches <= 10) {
          ADD_FAILURE() << Escaped(text) << "\n[" << section << "] keys size " << size
                        << ": platform '" << Escaped(actual) << "', POSIX reader '"
                        << Escaped(expected) << "'";
        }
      }
    }
  }
}

// A manifest comes from the network: its parsed form stays within a few times its size whatever
// its shape, and a look-up costs the same in a huge section (ten thousand of them here would take
// minutes if each searched the section).
TEST(ProfileDifferential, HostileShapesCostAFewTimesTheText) {
  const struct {
    const char* name;
    std::string line;
    bool numbered;
  } shapes[] = {
      {"tiny entries", "=\n", true},
      {"names without values", "a\n", false},
      {"empty sections", "[]\n", false},
      {"numbered sections", "]\n", true},
  };
  for (const auto& shape : shapes) {
    std::string text = "[Files]\n";
    for (unsigned i = 0; text.size() < (1u << 20); ++i) {
      if (shape.line == "]\n") text += "[";
      if (shape.numbered) text += std::to_string(i);
      text += shape.line;
    }
    const auto document = platform::IniDocument::Parse(text);
    EXPECT_LE(document.FootprintBytes(), 6 * text.size()) << shape.name;
    int found = 0;
    for (int i = 0; i < 10000; ++i) found += document.FindValue("Files", std::to_string(i)) ? 1 : 0;
    EXPECT_EQ(found, shape.line == "=\n" ? 10000 : 0) << shape.name;
  }
}

}  // namespace
}  // namespace zarn
