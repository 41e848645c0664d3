// The version-resource reader on damaged Windows files: every damage is refused or read within
// the file (AddressSanitizer watches the native run), never followed in circles.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/pe_version_resource.h"
#include "version_fixtures.h"

namespace zarn::platform {
namespace {

using Image = std::vector<std::uint8_t>;

Image LoadFixture(const char* name) {
  std::ifstream file(test::VersionFixture(name), std::ios::binary);
  return Image{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t Get32(const Image& image, std::size_t at) {
  return image.at(at) | (image.at(at + 1) << 8) | (image.at(at + 2) << 16) |
         (static_cast<std::uint32_t>(image.at(at + 3)) << 24);
}

void Put16(Image& image, std::size_t at, std::uint16_t value) {
  image.at(at) = static_cast<std::uint8_t>(value);
  image.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void Put32(Image& image, std::size_t at, std::uint32_t value) {
  Put16(image, at, static_cast<std::uint16_t>(value));
  Put16(image, at + 2, static_cast<std::uint16_t>(value >> 16));
}

// Where the parts of a resource-only library lie: its only section holds the resources.
struct Layout {
  std::size_t pe, optional, tree, names, languages, data_entry;
};

Layout Locate(const Image& image) {
  Layout l{};
  l.pe = Get32(image, 0x3C);
  l.optional = l.pe + 24;
  const std::size_t sections = l.optional + (image.at(l.pe + 20) | (image.at(l.pe + 21) << 8));
  for (std::size_t s = sections;; s += 40) {
    if (std::string(reinterpret_cast<const char*>(&image.at(s)), 5) == ".rsrc") {
      l.tree = Get32(image, s + 20);
      break;
    }
  }
  l.names = l.tree + (Get32(image, l.tree + 20) & 0x7FFFFFFF);
  l.languages = l.tree + (Get32(image, l.names + 20) & 0x7FFFFFFF);
  l.data_entry = l.tree + Get32(image, l.languages + 20);
  return l;
}

// A reader over `image` followed by `padding` zero bytes, adding up the bytes it is asked for.
ImageReader CountingReader(const Image& image, std::uint64_t padding, std::uint64_t& asked) {
  return [&image, padding, &asked](std::uint64_t offset,
                                   std::size_t length) -> std::optional<std::vector<std::uint8_t>> {
    if (offset > image.size() + padding || length > image.size() + padding - offset) {
      return std::nullopt;
    }
    asked += length;
    std::vector<std::uint8_t> bytes(length, 0);
    for (std::size_t i = 0; i < length && offset + i < image.size(); ++i) {
      bytes[i] = image[static_cast<std::size_t>(offset + i)];
    }
    return bytes;
  };
}

TEST(PeReader, ReadsTheUndamagedFixture) {
  const Image image = LoadFixture("two_languages.dll");
  const auto resource = FindVersionResource(image);
  ASSERT_TRUE(resource);
  const auto root = ParseVersionBlocks(*resource);
  ASSERT_TRUE(root);
  const VersionBlock* version = FindVersionBlock(*root, "\\StringFileInfo\\040704E4\\FileVersion");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->value.substr(0, version->value.find('\0')), "4.1.0.7");
}

TEST(PeReader, RefusesDamagedHeadersAndResourceTrees) {
  const Image original = LoadFixture("two_languages.dll");
  const Layout l = Locate(original);
  // The layout found is the one damaged below: the version type, and the data of its resource.
  ASSERT_EQ(Get32(original, l.tree + 16), 16u);
  ASSERT_EQ(Get32(original, l.data_entry + 4), FindVersionResource(original)->size());
  const struct {
    const char* damage;
    std::size_t at;
    std::uint32_t value;
  } cases[] = {
      {"header offset past the end", 0x3C, 0xFFFFFFF0},
      {"no PE signature", l.pe, 0x00004551},
      {"unknown optional header", l.optional, 0x0107},
      {"resource table outside every section", l.optional + 96 + 16, 0x7FFF0000},
      {"type entry pointing at the root", l.tree + 20, 0x80000000},
      {"name entry pointing back at the type level", l.names + 20, 0x80000000},
      {"language entry naming a directory", l.languages + 20, 0x80000010},
      {"entry count past the tree", l.tree + 14, 0xFFFF0001},
      {"data past its section", l.data_entry + 4, 0xFFFFFFFF},
      {"data at no address", l.data_entry, 0},
  };
  for (const auto& c : cases) {
    Image image = original;
    Put32(image, c.at, c.value);
    EXPECT_FALSE(FindVersionResource(image)) << c.damage;
    std::uint64_t asked = 0;
    EXPECT_FALSE(ReadVersionResource(CountingReader(image, 0, asked))) << c.damage;
  }
}

// A large executable is not read whole for its version: only the headers, the section table, the
// resource directory and the resource are asked for.
TEST(PeReader, ReadsOnlyThePartsThatLeadToTheResource) {
  constexpr std::uint64_t kPadding = std::uint64_t{1} << 30;
  for (const char* name : {"strings.exe", "strings64.dll", "two_languages.dll"}) {
    const Image image = LoadFixture(name);
    const auto whole = FindVersionResource(image);
    ASSERT_TRUE(whole) << name;
    std::uint64_t asked = 0;
    const auto read = ReadVersionResource(CountingReader(image, kPadding, asked));
    ASSERT_TRUE(read) << name;
    EXPECT_EQ(*read, Image(whole->begin(), whole->end())) << name;
    EXPECT_LT(asked, 2 * image.size()) << name;
  }
}

TEST(PeReader, RefusesDamagedVersionBlocks) {
  const Image original = LoadFixture("two_languages.dll");
  const auto resource = FindVersionResource(original);
  ASSERT_TRUE(resource);
  const Image block(resource->begin(), resource->end());
  const struct {
    const char* damage;
    std::size_t at;
    std::uint16_t value;
  } cases[] = {
      {"root longer than the resource", 0, 0xFFFF},
      {"root too short for its header", 0, 4},
      {"child of length zero", 92, 0},  // the first child, after the fixed file information
      {"key without its terminating zero", 36, 0x4141},
  };
  for (const auto& c : cases) {
    Image damaged = block;
    Put16(damaged, c.at, c.value);
    EXPECT_FALSE(ParseVersionBlocks(damaged)) << c.damage;
  }
}

TEST(PeReader, RefusesNestingBeyondAnyVersionTree) {
  // Forty blocks each holding the next: "VS_VERSION_INFO" at the top, then "a" blocks.
  const int depth = 40;
  Image nested;
  for (int level = 0; level < depth; ++level) {
    const bool top = level == 0;
    const std::u16string key = top ? u"VS_VERSION_INFO" : u"a";
    Image header(6, 0);
    for (const char16_t ch : key) header.insert(header.end(), {std::uint8_t(ch), 0});
    header.insert(header.end(), {0, 0});
    while (header.size() % 4 != 0) header.push_back(0);
    nested.insert(nested.end(), header.begin(), header.end());
  }
  // Each block's length runs to the end of the buffer.
  for (std::size_t at = 0, level = 0; level < static_cast<std::size_t>(depth); ++level) {
    Put16(nested, at, static_cast<std::uint16_t>(nested.size() - at));
    at += level == 0 ? 40 : 12;
  }
  EXPECT_FALSE(ParseVersionBlocks(nested));
}

TEST(PeReader, TruncatedFilesNeverReadPastTheirEnd) {
  for (const char* name : {"strings.exe", "strings64.dll", "two_languages.dll"}) {
    const Image image = LoadFixture(name);
    const auto whole = FindVersionResource(image);
    ASSERT_TRUE(whole) << name;
    // Every cut before the resource's last byte must be refused.
    const auto resource_end =
        static_cast<std::size_t>(whole->data() + whole->size() - image.data());
    for (std::size_t length = 0; length < image.size(); length += 13) {
      const Image cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
      const auto resource = FindVersionResource(cut);
      if (!resource) continue;
      EXPECT_GE(length, resource_end) << name << " cut at " << length;
      EXPECT_GE(resource->data(), cut.data());
      EXPECT_LE(resource->data() + resource->size(), cut.data() + cut.size());
      ParseVersionBlocks(*resource);
    }
  }
}

}  // namespace
}  // namespace zarn::platform
