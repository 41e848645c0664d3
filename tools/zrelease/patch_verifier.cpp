// The checks of a release's patches: against its cabinets always, against the base on request.
#include "tools/zrelease/patch_verifier.h"

#include <random>
#include <set>

#include "app/file_patches.h"
#include "app/manifest_names.h"
#include "app/release_trust.h"
#include "cab/cabfiles.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/patch.h"
#include "tools/zrelease/patch_builder.h"

namespace zarn::release {

namespace fs = std::filesystem;

namespace {

// A new, empty scratch folder, removed with its contents when the object goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const fs::path candidate =
          fs::temp_directory_path(error) / ("zrelease-verify-" + std::to_string(random()));
      if (fs::create_directory(candidate, error)) path_ = candidate;
    }
  }
  ~ScratchFolder() {
    std::error_code error;
    if (!path_.empty()) fs::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// What the key's cabinet holds differs from the patch's result: the problem, or empty.
std::string CheckAgainstCabinet(const fs::path& root, const UpdateManifest& manifest,
                                const std::string& key, const FilePatch& patch,
                                const fs::path& scratch) {
  const fs::path cabinet = root / manifest.ReadString(kManifestCabs, key);
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  if (!CabinetFileDateTime(cabinet, date, time)) return key + ": its cabinet cannot be read";
  if (date != patch.dos_date || time != patch.dos_time) {
    return key + ": the patch's date and time are not its cabinet's";
  }
  const fs::path folder = scratch / "cabinet";
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directory(folder, error);
  TCABFile cab;
  cab.TargetPath = folder.string() + platform::PathDelimiter();
  cab.CABFile = cabinet.string();
  const fs::path extracted = folder / LocalKeyPath(key);
  if (!cab.ExtractAll() || !fs::is_regular_file(extracted)) {
    return key + ": its cabinet does not extract";
  }
  if (fs::file_size(extracted, error) != patch.result_size ||
      platform::Sha256File(extracted.string()) != patch.result) {
    return key + ": the patch's result is not the file in its cabinet";
  }
  return {};
}

}  // namespace

std::vector<std::string> VerifyPatches(const fs::path& root, const UpdateManifest& manifest,
                                       const std::string& base_folder) {
  std::vector<std::string> problems;
  const std::vector<std::string> keys = manifest.ReadSectionKeys(kManifestPatches);
  if (keys.empty()) return problems;
  std::set<std::string> files;
  for (const std::string& key : manifest.ReadSectionKeys(kManifestFiles)) {
    files.insert(UpperAscii(key));
  }
  const ScratchFolder scratch;
  if (scratch.path().empty()) return {"cannot make a scratch folder to check the patches in"};
  for (const std::string& key : keys) {
    if (files.count(UpperAscii(key)) == 0 || !IsFileInsideProgramFolder(key)) {
      problems.push_back(key + ": a patch for a file the manifest does not list");
      continue;
    }
    const auto patch = ParseFilePatch(manifest.ReadString(kManifestPatches, key));
    if (!patch) {
      problems.push_back(key + ": the \"Patches\" entry is malformed");
      continue;
    }
    const fs::path patch_path = root / patch->patch;
    const std::string digest = manifest.ReadString(kManifestHashes, patch->patch);
    if (!fs::is_regular_file(patch_path)) {
      problems.push_back(key + ": the patch " + patch->patch + " is missing");
      continue;
    }
    if (digest == kManifestDefault) {
      problems.push_back(patch->patch + ": no \"Hashes\" entry");
      continue;
    }
    if (!FileDigestMatches(patch_path.string(), digest)) {
      problems.push_back(patch->patch + ": the digest does not match the patch");
      continue;
    }
    if (patch->result_size > platform::kMaxPatchedFileBytes) {
      problems.push_back(key + ": the patch's result is over 64 MiB");
      continue;
    }
    std::string problem = CheckAgainstCabinet(root, manifest, key, *patch, scratch.path());
    if (!problem.empty()) {
      problems.push_back(problem);
      continue;
    }
    if (base_folder.empty()) continue;
    const fs::path base = fs::path(base_folder) / LocalKeyPath(key);
    if (platform::Sha256File(base.string()) != patch->base) {
      problems.push_back(key + ": the file in " + base_folder + " is not the patch's base");
      continue;
    }
    const fs::path output = scratch.path() / "patched";
    std::error_code error;
    fs::remove(output, error);
    const platform::PatchResult result = platform::ApplyPatch(
        base.string(), patch_path.string(), output.string(), patch->result_size, patch->result);
    if (result != platform::PatchResult::kApplied) {
      problems.push_back(patch->patch + ": " + platform::PatchResultText(result));
    }
  }
  return problems;
}

std::string ApplyListedPatch(const fs::path& root, bool beta, const std::string& key,
                             const std::string& base, const std::string& output) {
  const fs::path manifest_path = root / (beta ? "z4upbeta.ini" : "z4up.ini");
  if (!fs::is_regular_file(manifest_path)) return manifest_path.string() + " is missing";
  const UpdateManifest manifest(manifest_path.string());
  const auto patch = ParseFilePatch(manifest.ReadString(kManifestPatches, key));
  if (!patch) return "the manifest lists no usable patch for " + key;
  if (platform::Sha256File(base) != patch->base) return base + " is not the patch's base";
  const platform::PatchResult result = platform::ApplyPatch(
      base, (root / patch->patch).string(), output, patch->result_size, patch->result);
  if (result != platform::PatchResult::kApplied) {
    return patch->patch + ": " + platform::PatchResultText(result);
  }
  return {};
}

}  // namespace zarn::release
