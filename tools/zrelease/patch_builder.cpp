// Patches beside the cabinets: zstd patch-from frames against the older program's files.
#include "tools/zrelease/patch_builder.h"

#include <cstdio>
#include <fstream>

#include "common/hex.h"
#include "platform/patch.h"
#include "platform/signature.h"

namespace zarn::release {

namespace fs = std::filesystem;

namespace {

std::uint16_t Little16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

}  // namespace

bool CabinetFileDateTime(const fs::path& cabinet, std::uint16_t& date, std::uint16_t& time) {
  std::ifstream in(cabinet, std::ios::binary);
  unsigned char header[36];
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  const std::uint32_t files = header[16] | header[17] << 8 | header[18] << 16 |
                              static_cast<std::uint32_t>(header[19]) << 24;
  unsigned char entry[16];
  if (!in.seekg(files) || !in.read(reinterpret_cast<char*>(entry), sizeof entry)) return false;
  date = Little16(entry + 10);
  time = Little16(entry + 12);
  return true;
}

std::string MakeReleasePatches(const fs::path& from, const fs::path& base_folder,
                               const fs::path& to, const std::vector<PatchCandidate>& candidates,
                               std::vector<MadePatch>& made) {
  std::error_code error;
  if (!fs::is_directory(base_folder, error)) return base_folder.string() + " is not a folder";
  for (const PatchCandidate& candidate : candidates) {
    const fs::path patch_path = to / PatchNameFor(candidate.key);
    fs::remove(patch_path, error);
    const fs::path base = base_folder / candidate.file.lexically_relative(from);
    if (!fs::is_regular_file(fs::symlink_status(base, error))) continue;
    const std::uint64_t base_size = fs::file_size(base, error);
    const std::uint64_t size = fs::file_size(candidate.file, error);
    if (base_size > platform::kMaxPatchedFileBytes || size > platform::kMaxPatchedFileBytes) {
      std::printf("%s: no patch (over 64 MiB)\n", candidate.key.c_str());
      continue;
    }
    const auto base_digest = platform::Sha256File(base.string());
    const auto result_digest = platform::Sha256File(candidate.file.string());
    if (!base_digest || !result_digest) return "cannot read " + base.string();
    if (*base_digest == *result_digest) continue;  // unchanged: nobody with the base downloads it

    MadePatch patch;
    patch.key = candidate.key;
    patch.listing.patch = PatchNameFor(candidate.key);
    patch.listing.base = *base_digest;
    patch.listing.result = *result_digest;
    patch.listing.result_size = size;
    if (!CabinetFileDateTime(candidate.cabinet, patch.listing.dos_date, patch.listing.dos_time)) {
      return "cannot read the cabinet " + candidate.cabinet.string();
    }
    const std::string problem =
        platform::MakePatch(base.string(), candidate.file.string(), patch_path.string());
    if (!problem.empty()) return problem;
    patch.bytes = fs::file_size(patch_path, error);
    const std::uint64_t cabinet_bytes = fs::file_size(candidate.cabinet, error);
    if (patch.bytes * 100 > cabinet_bytes * kMaxPatchShareOfCabinet) {
      std::printf("%s: no patch (%llu bytes against a %llu-byte cabinet)\n", candidate.key.c_str(),
                  static_cast<unsigned long long>(patch.bytes),
                  static_cast<unsigned long long>(cabinet_bytes));
      fs::remove(patch_path, error);
      continue;
    }
    const auto digest = platform::Sha256File(patch_path.string());
    if (!digest) return "cannot read " + patch_path.string();
    patch.digest = ToHex(*digest);
    std::printf(
        "%s -> %s (%llu bytes, %llu%% of the cabinet)\n", candidate.key.c_str(),
        patch.listing.patch.c_str(), static_cast<unsigned long long>(patch.bytes),
        static_cast<unsigned long long>(cabinet_bytes ? patch.bytes * 100 / cabinet_bytes : 0));
    made.push_back(std::move(patch));
  }
  return {};
}

std::string PatchHashLines(const std::vector<MadePatch>& made) {
  std::string lines;
  for (const MadePatch& patch : made) lines += patch.listing.patch + "=" + patch.digest + "\r\n";
  return lines;
}

std::string PatchesSection(const std::vector<MadePatch>& made) {
  if (made.empty()) return {};
  std::string text = "[";
  text.append(kManifestPatches).append("]\r\n");
  for (const MadePatch& patch : made)
    text += patch.key + "=" + FormatFilePatch(patch.listing) + "\r\n";
  return text;
}

}  // namespace zarn::release
