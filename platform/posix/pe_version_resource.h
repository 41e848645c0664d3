// The version resource inside a Windows executable or library (PE32 and PE32+), read without the
// Windows loader: the section table maps the resource directory, whose RT_VERSION entry holds a
// VS_VERSIONINFO tree. Every offset and length is checked against the bytes given; a malformed
// file is refused as a whole.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::platform {

// One block of a VS_VERSIONINFO tree: its key, its value (texts already converted to the ANSI
// code page, binary values as they are) and the blocks inside it.
struct VersionBlock {
  std::string key;
  std::string value;
  std::vector<VersionBlock> children;
};

// The bytes of the file's version resource (type 16; name 1 when there are several, else the
// first; in the language the Windows loader picks for a U.S. English user: neutral, then U.S.
// English, else the first), or nullopt.
std::optional<std::span<const std::uint8_t>> FindVersionResource(
    std::span<const std::uint8_t> image);

// Random access to an image that is not held in memory: the `length` bytes at `offset`, or
// nothing when the image has not got them all.
using ImageReader = std::function<std::optional<std::vector<std::uint8_t>>(std::uint64_t offset,
                                                                           std::size_t length)>;

// The same search as FindVersionResource, reading only the parts of the image that lead to the
// resource (headers, section table, resource directory), so that a large executable costs a few
// small reads instead of its whole size in memory.
std::optional<std::vector<std::uint8_t>> ReadVersionResource(const ImageReader& read);

// The tree of a VS_VERSIONINFO resource, or nullopt when it is malformed.
std::optional<VersionBlock> ParseVersionBlocks(std::span<const std::uint8_t> resource);

// The block that a path such as "\StringFileInfo\040904B0\FileVersion" names: components
// separated by backslashes (empty ones skipped), each the whole key of a child ignoring letter
// case. The empty path names the root.
const VersionBlock* FindVersionBlock(const VersionBlock& root, std::string_view path);

}  // namespace zarn::platform
