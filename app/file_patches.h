// The manifest's "Patches" section: per "Files" key, a patch that turns one known installed file
// (its base) into the listed file, and what the file gets when installed from its cabinet.
//
//   [Patches]
//   radio.dll=radio.dll.patch,<base SHA-256>,<result SHA-256>,<result size>,<DOS date>,<DOS time>
//
// Digests are 64 hexadecimal digits; size, date and time decimal. The date and time are the ones
// the file's cabinet stores, so that a patched file ends with the same last-write time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/signature.h"

namespace zarn {

inline constexpr std::string_view kManifestPatches = "Patches";

struct FilePatch {
  std::string patch;  // the patch file's name in the update folder
  platform::Sha256Digest base{};
  platform::Sha256Digest result{};
  std::uint64_t result_size = 0;
  std::uint16_t dos_date = 0;
  std::uint16_t dos_time = 0;
};

// The entry of a "Patches" value; nullopt when any field is missing or malformed, or the patch's
// name is not a plain file name.
std::optional<FilePatch> ParseFilePatch(std::string_view value);
std::string FormatFilePatch(const FilePatch& patch);

// The patch file's name for a "Files" key: "\" becomes "_", then ".patch" is appended.
std::string PatchNameFor(std::string_view key);

}  // namespace zarn
