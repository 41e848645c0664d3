// The checks of a finished release.
#include "tools/zrelease/release_verifier.h"

#include <charconv>
#include <ctime>
#include <filesystem>
#include <map>

#include "app/manifest_names.h"
#include "app/release_metadata.h"
#include "app/release_trust.h"
#include "app/update_manifest.h"
#include "cab/cabfiles.h"
#include "common/integer_conversion.h"
#include "common/text.h"
#include "platform/profile.h"
#include "tools/zrelease/patch_verifier.h"
#include "tools/zrelease/time_stamp.h"

namespace zarn::release {

namespace fs = std::filesystem;

namespace {

// Whether the cabinet stores a file under the manifest key, as the updater's existence test
// needs it: letter case counts, since a POSIX file system tells "Radio.dll" from "radio.dll".
// Stored names the updater's rules refuse are problems too.
void CheckCabinetContents(const fs::path& cabinet, const std::string& name, const std::string& key,
                          std::vector<std::string>& problems) {
  TCABFile cab;
  cab.CABFile = cabinet.string();
  if (!cab.ListContents()) {
    problems.push_back(name + ": does not hold " + key);
    return;
  }
  std::string other_case;
  bool holds = false;
  for (const auto& item : cab.CABFileContents.Items()) {
    const std::string stored = item.RelPath.empty() ? item.Name : item.RelPath + "\\" + item.Name;
    const NameRefusal refusal = FileKeyRefusal(stored);
    if (refusal != NameRefusal::kNone) {
      problems.push_back(name + ": stores " + stored + ", " + std::string(RefusalText(refusal)));
    }
    if (stored == key) {
      holds = true;
    } else if (SameManifestName(stored, key)) {
      other_case = stored;
    }
  }
  if (holds) return;
  problems.push_back(other_case.empty()
                         ? name + ": does not hold " + key
                         : name + ": holds " + other_case + ", not " + key + " (letter case)");
}

// What the updater's rule for signed manifests says of this one, read on its channel by an
// updater that has accepted nothing before; empty when it is taken.
std::string IdentProblem(const UpdateManifest& manifest, std::string_view channel) {
  const ReleaseIdent ident = ReadReleaseIdent(manifest);
  const std::int32_t now = TimeOfUpdateAt(std::time(nullptr)).value_or(0);
  switch (CheckReleaseIdent(ident, channel, now, std::nullopt)) {
    case ManifestRefusal::kNoChannel:
      return "the manifest names no \"Channel\": the updater refuses it";
    case ManifestRefusal::kOtherChannel:
      return "the manifest's \"Channel\" is " + ident.channel + ", not " + std::string(channel);
    case ManifestRefusal::kExpired:
      if (const auto expires = ParseInt32(ident.expires, IntegerForms::DecimalOrHex)) {
        return "the release expired at " + FormatTimeOfUpdate(*expires) + " UTC";
      }
      return "\"Expires\" is no stamp: " + ident.expires;
    default:
      return {};
  }
}

// The cabinet's size against its "Sizes" entry (a decimal number of bytes); empty when equal.
std::string SizeProblem(const UpdateManifest& manifest, const fs::path& cabinet) {
  const std::string name = cabinet.filename().string();
  const std::string listed = manifest.ReadString(kManifestSizes, name);
  if (listed == kManifestDefault) return name + ": no \"Sizes\" entry";
  std::uintmax_t size = 0;
  const auto [end, ec] = std::from_chars(listed.data(), listed.data() + listed.size(), size);
  std::error_code error;
  const std::uintmax_t actual = fs::file_size(cabinet, error);
  if (ec != std::errc() || end != listed.data() + listed.size() || error || size != actual) {
    return name + ": the size in \"Sizes\" (" + listed + ") is not the cabinet's (" +
           std::to_string(actual) + ")";
  }
  return {};
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
  const std::string ident = IdentProblem(manifest, beta ? kBetaChannel : kProductionChannel);
  if (!ident.empty()) problems.push_back(ident);
  const std::vector<std::string> keys = manifest.ReadSectionKeys(kManifestFiles);
  if (keys.empty()) problems.push_back("the manifest lists no files");
  // The whole list, read with room to spare, against what the updater's buffer holds.
  const std::size_t all_keys =
      SplitKeyBlock(platform::ReadProfileKeyBlock(manifest_path.string(), kManifestFiles,
                                                  fs::file_size(manifest_path) + 2))
          .size();
  if (all_keys > keys.size()) {
    problems.push_back("the updater reads only " + std::to_string(keys.size()) + " of the " +
                       std::to_string(all_keys) + " files listed");
  }
  const ScreenedKeys screened = ScreenFileKeys(keys);
  for (const auto& [file, refusal] : screened.refused) {
    problems.push_back(file + ": the updater skips this key (" + std::string(RefusalText(refusal)) +
                       ")");
  }
  std::map<std::string, std::string> spellings;  // upper-cased cabinet name -> as first listed
  for (const std::string& file : screened.taken) {
    const std::string cabinet = manifest.ReadString(kManifestCabs, file);
    if (cabinet == kManifestDefault) {
      problems.push_back(file + ": no usable \"Cabs\" entry");
      continue;
    }
    const NameRefusal refusal = CabNameRefusal(cabinet);
    if (refusal != NameRefusal::kNone) {
      problems.push_back(file + ": no usable \"Cabs\" entry (" + cabinet + ": " +
                         std::string(RefusalText(refusal)) + ")");
      continue;
    }
    // Windows keeps both spellings in one local file.
    const auto [first, added] = spellings.emplace(UpperAscii(cabinet), cabinet);
    if (!added && first->second != cabinet) {
      problems.push_back(cabinet + " and " + first->second +
                         ": names of one file on Windows (letter case)");
    }
    const fs::path cabinet_path = root / cabinet;
    if (!fs::is_regular_file(cabinet_path)) {
      problems.push_back(file + ": the cabinet " + cabinet + " is missing");
      continue;
    }
    if (std::string size = SizeProblem(manifest, cabinet_path); !size.empty()) {
      problems.push_back(std::move(size));
    }
    const std::string digest = manifest.ReadString(kManifestHashes, cabinet);
    if (digest == kManifestDefault) {
      problems.push_back(cabinet + ": no \"Hashes\" entry");
    } else if (!FileDigestMatches(cabinet_path.string(), digest)) {
      problems.push_back(cabinet + ": the digest does not match the cabinet");
    } else {
      CheckCabinetContents(cabinet_path, cabinet, file, problems);
    }
  }
  for (std::string& problem : VerifyPatches(root, manifest, base_folder)) {
    problems.push_back(std::move(problem));
  }
  return problems;
}

}  // namespace zarn::release
