// The checks of a finished release.
#include "tools/zrelease/release_verifier.h"

#include <filesystem>

#include "app/manifest_names.h"
#include "app/release_trust.h"
#include "app/update_manifest.h"
#include "cab/cabfiles.h"
#include "common/text.h"
#include "tools/zrelease/patch_verifier.h"

namespace zarn::release {

namespace fs = std::filesystem;

namespace {

// Whether the cabinet stores a file under the manifest key (letter case ignored).
bool CabinetHolds(const fs::path& cabinet, const std::string& key) {
  TCABFile cab;
  cab.CABFile = cabinet.string();
  if (!cab.ListContents()) return false;
  for (const auto& item : cab.CABFileContents.Items()) {
    const std::string stored = item.RelPath.empty() ? item.Name : item.RelPath + "\\" + item.Name;
    if (EqualsIgnoringCase(stored, key)) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> VerifyRelease(const std::string& folder, bool beta,
                                       const platform::P256PublicKey& key,
                                       const std::string& base_folder) {
  const fs::path root(folder);
  const std::string manifest_name = beta ? "z4upbeta.ini" : "z4up.ini";
  const fs::path manifest_path = root / manifest_name;
  const fs::path signature_path = root / (manifest_name + std::string(kSignatureSuffix));
  if (!fs::is_regular_file(manifest_path)) return {manifest_path.string() + " is missing"};
  if (!fs::is_regular_file(signature_path)) return {signature_path.string() + " is missing"};
  if (!ManifestSignatureValid(key, manifest_path.string(), signature_path.string())) {
    // Nothing of a manifest without a valid signature is worth reading.
    return {"the manifest's signature is not valid under this key"};
  }
  std::vector<std::string> problems;
  const UpdateManifest manifest(manifest_path.string());
  const std::vector<std::string> keys = manifest.ReadSectionKeys(kManifestFiles);
  if (keys.empty()) problems.push_back("the manifest lists no files");
  for (const std::string& file : keys) {
    if (!IsFileInsideProgramFolder(file)) {
      problems.push_back(file + ": the updater skips this key");
      continue;
    }
    const std::string cabinet = manifest.ReadString(kManifestCabs, file);
    if (cabinet == kManifestDefault || !IsPlainCabName(cabinet)) {
      problems.push_back(file + ": no usable \"Cabs\" entry");
      continue;
    }
    const fs::path cabinet_path = root / cabinet;
    if (!fs::is_regular_file(cabinet_path)) {
      problems.push_back(file + ": the cabinet " + cabinet + " is missing");
      continue;
    }
    const std::string digest = manifest.ReadString(kManifestHashes, cabinet);
    if (digest == kManifestDefault) {
      problems.push_back(cabinet + ": no \"Hashes\" entry");
    } else if (!FileDigestMatches(cabinet_path.string(), digest)) {
      problems.push_back(cabinet + ": the digest does not match the cabinet");
    } else if (!CabinetHolds(cabinet_path, file)) {
      problems.push_back(cabinet + ": does not hold " + file);
    }
  }
  for (std::string& problem : VerifyPatches(root, manifest, base_folder)) {
    problems.push_back(std::move(problem));
  }
  return problems;
}

}  // namespace zarn::release
