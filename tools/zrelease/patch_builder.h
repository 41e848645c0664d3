// The patches of a release made against an older program folder ("zrelease build --base").
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/file_patches.h"

namespace zarn::release {

// A file of the release, already packed into its cabinet.
struct PatchCandidate {
  std::string key;                // the "Files" key
  std::filesystem::path file;     // the new file
  std::filesystem::path cabinet;  // its cabinet in the update folder
};

struct MadePatch {
  std::string key;
  FilePatch listing;
  std::string digest;  // the patch file's SHA-256, for "Hashes"
  std::uint64_t bytes = 0;
};

// A patch is kept only when it is at most this share of its cabinet's size (in percent): smaller
// than that, fetching the base's digest and the patch is not worth it.
inline constexpr std::uint64_t kMaxPatchShareOfCabinet = 75;

// For each candidate whose file exists at the same place below base_folder (relative to from) and
// differs from it, with both at most 64 MiB: a patch beside the cabinet in `to`, kept when clearly
// smaller than the cabinet. A patch file of an earlier build that no longer applies is removed.
// Progress goes to standard output. Returns an empty text, or what went wrong.
std::string MakeReleasePatches(const std::filesystem::path& from,
                               const std::filesystem::path& base_folder,
                               const std::filesystem::path& to,
                               const std::vector<PatchCandidate>& candidates,
                               std::vector<MadePatch>& made);

// The DOS date and time a one-file cabinet stores for its file (what an extraction gives the file
// as its last-write time); false when the cabinet cannot be read.
bool CabinetFileDateTime(const std::filesystem::path& cabinet, std::uint16_t& date,
                         std::uint16_t& time);

// The manifest's lines for the patches: their "Hashes" entries, and the "Patches" section.
std::string PatchHashLines(const std::vector<MadePatch>& made);
std::string PatchesSection(const std::vector<MadePatch>& made);

}  // namespace zarn::release
