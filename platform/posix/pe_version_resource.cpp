#include "platform/posix/pe_version_resource.h"

#include <algorithm>
#include <deque>

#include "common/text.h"
#include "platform/posix/ansi_text.h"

namespace zarn::platform {

namespace {

// Raised inside the readers when the data is malformed; never leaves this file.
struct Malformed {};

using Bytes = std::span<const std::uint8_t>;

Bytes Slice(Bytes bytes, std::size_t offset, std::size_t length) {
  if (offset > bytes.size() || length > bytes.size() - offset) throw Malformed{};
  return bytes.subspan(offset, length);
}

std::uint16_t U16(Bytes bytes, std::size_t offset) {
  const Bytes b = Slice(bytes, offset, 2);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t U32(Bytes bytes, std::size_t offset) {
  const Bytes b = Slice(bytes, offset, 4);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kResourceTable = 2;  // index in the optional header's data directories
constexpr std::uint32_t kVersionType = 16;   // RT_VERSION
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;

struct Section {
  std::uint32_t virtual_address;
  std::uint32_t raw_size;
  std::uint32_t raw_offset;
};

// The section holding a relative virtual address in its raw data.
const Section& SectionAt(const std::vector<Section>& sections, std::uint32_t address) {
  for (const Section& s : sections) {
    if (address >= s.virtual_address && address - s.virtual_address < s.raw_size) return s;
  }
  throw Malformed{};
}

// Where the bytes at a relative virtual address lie in the file; they must all lie in one
// section's raw data.
std::size_t FileOffsetOf(const std::vector<Section>& sections, std::uint32_t address,
                         std::uint32_t length) {
  const Section& s = SectionAt(sections, address);
  const std::uint32_t into = address - s.virtual_address;
  if (length > s.raw_size - into) throw Malformed{};
  return std::size_t{s.raw_offset} + into;
}

using Entries = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// The entries of one level of the resource directory: {name or id, offset with its flag bit}.
Entries DirectoryEntries(Bytes tree, std::uint32_t offset) {
  const std::size_t count = std::size_t{U16(tree, offset + 12)} + U16(tree, offset + 14);
  Slice(tree, offset + 16, count * 8);  // all entries must lie inside the directory
  Entries entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = offset + 16 + i * 8;
    entries.emplace_back(U32(tree, at), U32(tree, at + 4));
  }
  return entries;
}

// The offset of the subdirectory an entry points to, which must lie further on than the
// directory holding it, so that no chain of entries can come back to where it started.
std::uint32_t Subdirectory(std::uint32_t parent, std::uint32_t target) {
  if ((target & kSubdirectoryBit) == 0) throw Malformed{};
  const std::uint32_t offset = target & ~kSubdirectoryBit;
  if (offset <= parent) throw Malformed{};
  return offset;
}

std::optional<std::uint32_t> FindId(const Entries& entries, std::uint32_t id) {
  for (const auto& [name, target] : entries) {
    if (name == id) return target;
  }
  return std::nullopt;
}

// The entry of `preferred` when there is one, else the first.
std::uint32_t Choose(const Entries& entries, std::uint32_t preferred) {
  if (entries.empty()) throw Malformed{};
  return FindId(entries, preferred).value_or(entries.front().second);
}

// The language the Windows loader settles on for a program in U.S. English: a language-neutral
// resource first, then U.S. English, else the first there is.
std::uint32_t ChooseLanguage(const Entries& entries) {
  constexpr std::uint32_t kPrimaryLanguageMask = 0x3FF;
  constexpr std::uint32_t kUnitedStatesEnglish = 0x0409;
  if (const auto neutral = FindId(entries, 0)) return *neutral;
  for (const auto& [id, target] : entries) {
    if ((id & kSubdirectoryBit) == 0 && (id & kPrimaryLanguageMask) == 0) return target;
  }
  return Choose(entries, kUnitedStatesEnglish);
}

// Finds the version resource through `fetch(offset, length)`, which gives those bytes of the image
// (valid until the search ends) or raises Malformed. Only the headers, the section table, the
// resource directory and the resource itself are fetched, never the rest of the image.
template <typename Fetch>
Bytes FindVersionResourceOrThrow(const Fetch& fetch) {
  if (U16(fetch(0, 2), 0) != 0x5A4D) throw Malformed{};  // "MZ"
  const std::uint32_t pe = U32(fetch(0x3C, 4), 0);
  if (U32(fetch(pe, 4), 0) != 0x00004550) throw Malformed{};  // "PE\0\0"
  const std::size_t coff = std::size_t{pe} + 4;
  const Bytes file_header = fetch(coff, 20);
  const std::uint16_t section_count = U16(file_header, 2);
  const std::uint16_t optional_size = U16(file_header, 16);
  const std::size_t optional = coff + 20;
  const Bytes header = fetch(optional, optional_size);
  const std::uint16_t magic = U16(header, 0);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) throw Malformed{};
  const std::size_t count_at = magic == kPe32Magic ? 92 : 108;
  if (U32(header, count_at) <= kResourceTable) throw Malformed{};
  const std::size_t directory = count_at + 4 + kResourceTable * 8;
  const std::uint32_t tree_address = U32(header, directory);
  const std::uint32_t tree_size = U32(header, directory + 4);
  if (tree_address == 0 || tree_size == 0) throw Malformed{};

  std::vector<Section> sections;
  const Bytes table = fetch(optional + optional_size, std::size_t{section_count} * 40);
  for (std::size_t i = 0; i < section_count; ++i) {
    const std::size_t at = i * 40;
    sections.push_back({U32(table, at + 12), U32(table, at + 16), U32(table, at + 20)});
  }

  // The tree may be declared larger than the data that backs it; only the backed part is read.
  const Section& holder = SectionAt(sections, tree_address);
  const std::uint32_t available = holder.raw_size - (tree_address - holder.virtual_address);
  const std::uint32_t tree_length = std::min(tree_size, available);
  const Bytes tree = fetch(FileOffsetOf(sections, tree_address, tree_length), tree_length);

  const auto type = FindId(DirectoryEntries(tree, 0), kVersionType);
  if (!type) throw Malformed{};
  const std::uint32_t names_at = Subdirectory(0, *type);
  const std::uint32_t languages_at =
      Subdirectory(names_at, Choose(DirectoryEntries(tree, names_at), 1));
  const std::uint32_t language = ChooseLanguage(DirectoryEntries(tree, languages_at));
  if ((language & kSubdirectoryBit) != 0) throw Malformed{};
  const std::uint32_t data_rva = U32(tree, language);
  const std::uint32_t data_size = U32(tree, language + 4);
  return fetch(FileOffsetOf(sections, data_rva, data_size), data_size);
}

// The text of UTF-16 code units up to the first zero unit (or the end).
std::string AnsiFromUtf16(Bytes units) {
  std::size_t length = 0;
  while (length + 1 < units.size() && (units[length] != 0 || units[length + 1] != 0)) length += 2;
  const auto* chars = reinterpret_cast<const char*>(units.data());
  return Utf16ToAnsi(std::string_view(chars, length), false);
}

constexpr std::size_t kMaxDepth = 16;  // the format nests four deep; more is not a version tree

std::size_t Align4(std::size_t offset) {
  return (offset + 3) & ~std::size_t{3};
}

// Parses the block at `offset` of `resource`, which ends by `limit`; returns the end of it.
// in_strings tells that the block lies under "StringFileInfo".
std::size_t ParseBlock(Bytes resource, std::size_t offset, std::size_t limit, std::size_t depth,
                       bool in_strings, VersionBlock& block) {
  if (depth > kMaxDepth) throw Malformed{};
  const std::uint16_t length = U16(resource, offset);
  const std::uint16_t value_length = U16(resource, offset + 2);
  const std::uint16_t type = U16(resource, offset + 4);
  if (length < 6 || length > limit - offset) throw Malformed{};
  const std::size_t end = offset + length;
  const Bytes own = Slice(resource, 0, end);  // nothing of this block reads past its end

  std::size_t at = offset + 6;
  std::size_t key_end = at;
  while (U16(own, key_end) != 0) key_end += 2;
  block.key = AnsiFromUtf16(Slice(own, at, key_end - at));
  at = Align4(key_end + 2);

  if (depth == 1) in_strings = EqualsIgnoringCase(block.key, "StringFileInfo");
  if (in_strings && depth == 3) {
    // A value of a string table is text, whatever its type field says (some tools store 0,
    // binary): the version functions decide by where the value sits, and so does this reader.
    // It runs to its first NUL or the block's end; a string has no blocks inside it.
    std::size_t text_end = at;
    while (value_length > 0 && text_end + 2 <= end && U16(own, text_end) != 0) text_end += 2;
    if (text_end > at) block.value = AnsiFromUtf16(Slice(own, at, text_end - at));
    return end;
  }
  if (value_length > 0 && at < end) {
    const std::size_t value_bytes = type == 1 ? std::size_t{value_length} * 2 : value_length;
    const Bytes value = Slice(own, at, std::min(value_bytes, end - at));
    if (type == 1) {
      block.value = AnsiFromUtf16(value);
    } else {
      const auto* bytes = reinterpret_cast<const char*>(value.data());
      block.value.assign(bytes, value.size());
    }
    at = Align4(at + value.size());
  }
  while (at + 6 <= end) {
    VersionBlock child;
    at = Align4(ParseBlock(resource, at, end, depth + 1, in_strings, child));
    block.children.push_back(std::move(child));
  }
  return end;
}

}  // namespace

std::optional<std::span<const std::uint8_t>> FindVersionResource(
    std::span<const std::uint8_t> image) {
  try {
    return FindVersionResourceOrThrow(
        [image](std::size_t offset, std::size_t length) { return Slice(image, offset, length); });
  } catch (const Malformed&) {
    return std::nullopt;
  }
}

std::optional<std::vector<std::uint8_t>> ReadVersionResource(const ImageReader& read) {
  // The pieces fetched so far; a deque, so that the spans handed out stay where they are.
  std::deque<std::vector<std::uint8_t>> pieces;
  const auto fetch = [&](std::size_t offset, std::size_t length) {
    std::optional<std::vector<std::uint8_t>> piece = read(offset, length);
    if (!piece || piece->size() != length) throw Malformed{};
    return Bytes(pieces.emplace_back(std::move(*piece)));
  };
  try {
    const Bytes resource = FindVersionResourceOrThrow(fetch);
    return std::vector<std::uint8_t>(resource.begin(), resource.end());
  } catch (const Malformed&) {
    return std::nullopt;
  }
}

std::optional<VersionBlock> ParseVersionBlocks(std::span<const std::uint8_t> resource) {
  try {
    VersionBlock root;
    ParseBlock(resource, 0, resource.size(), 0, false, root);
    if (root.key != "VS_VERSION_INFO") return std::nullopt;
    return root;
  } catch (const Malformed&) {
    return std::nullopt;
  }
}

const VersionBlock* FindVersionBlock(const VersionBlock& root, std::string_view path) {
  const VersionBlock* block = &root;
  while (!path.empty()) {
    const std::size_t cut = path.find('\\');
    const std::string_view key = path.substr(0, cut);
    path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
    if (key.empty()) continue;
    const auto found = std::ranges::find_if(block->children, [&](const VersionBlock& child) {
      return EqualsIgnoringCase(child.key, key);
    });
    if (found == block->children.end()) return nullptr;
    block = &*found;
  }
  return block;
}

}  // namespace zarn::platform
