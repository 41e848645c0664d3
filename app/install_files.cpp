// Installing the downloaded files: each file's cabinet is checked against its digest again and
// unpacked into a fresh folder of its own inside the work folder, and the file is taken from
// there only and copied over the installed one. No cabinet can so overwrite the manifest, the
// signature, another cabinet or another extraction's output, and nothing an earlier extraction
// or pass left can be installed in place of a file this cabinet did not yield. The updater's own
// executable cannot be replaced while it runs: it goes beside itself as "new_" + its upper-cased
// name for the main program to swap in.
#include "app/checked_download.h"
#include "app/installed_file.h"
#include "app/main_form.h"
#include "app/manifest_names.h"
#include "app/release_trust.h"
#include "app/update_common.h"
#include "cab/stored_names.h"
#include "common/text.h"
#include "platform/file_replacement.h"
#include "platform/files.h"

namespace zarn {

namespace {

constexpr std::uint32_t kAfterOwnExtractionMs = 300;
constexpr std::uint32_t kBetweenOwnStepsMs = 100;
constexpr std::uint32_t kAfterExtractionMs = 500;
// What a file that must not be touched reports: a folder, device or link where the file should be.
constexpr std::uint32_t kErrorAccessDenied = 5;
// What a file that is not there reports.
constexpr std::uint32_t kErrorFileNotFound = 2;

// A regular file that `key` names below `folder`, reached through no link.
bool ExtractedFileExists(const std::string& folder, const std::string& key) {
  const std::string relative = LocalKeyPath(key);
  return !LeadsThroughLink(folder, relative, platform::PathDelimiter()) &&
         platform::RegularFileExists(folder + relative);
}

}  // namespace

void TfrmZarnUpdate::InstallFiles(const UpdateManifest& manifest,
                                  std::vector<std::string>& download_list) {
  const std::string own_name = OwnExecutableName(parts_.executable_path());
  int own_index = -1;
  files_not_installed_ = 0;
  const std::size_t count = download_list.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string entry = download_list[i];
    const std::string cab_name = manifest.ReadString(kManifestCabs, entry);
    if (cab_name == kManifestDefault) continue;
    // The update run drops such names before anything is downloaded; they never reach a path.
    if (FileKeyRefusal(entry) != NameRefusal::kNone ||
        CabNameRefusal(cab_name) != NameRefusal::kNone) {
      continue;
    }
    if (UpperAscii(entry) == own_name) {
      own_index = static_cast<int>(i);
      ShowStatus("ExtractingEx " + entry);
      const std::string folder = ExtractOrPatched(manifest, entry, cab_name);
      PumpMessagesFor(kAfterOwnExtractionMs);
      InstallOwnExecutable(entry, own_name, folder);
    } else {
      ShowStatus("Extracting " + entry);
      const std::string folder = ExtractOrPatched(manifest, entry, cab_name);
      PumpMessagesFor(kAfterExtractionMs);
      InstallOrdinaryFile(entry, folder);
    }
    pbar.SetPosition(pbar.Position() + 1);
  }
  if (own_index != -1) download_list.erase(download_list.begin() + own_index);
}

// Unpacks the cabinet into a new folder of its own and returns that folder (ending in the
// delimiter), or an empty text when the cabinet no longer has its listed digest or the folder
// cannot be made. The extraction's result is not looked at: whether the needed file came out is
// judged by the existence test in the returned folder.
std::string TfrmZarnUpdate::ExtractCab(const UpdateManifest& manifest,
                                       const std::string& cab_name) {
  const std::string cabinet = session_.work_folder + cab_name;
  const std::string digest = manifest.ReadString(kManifestHashes, cab_name);
  if (digest != kManifestDefault && !FileDigestMatches(cabinet, digest)) return {};
  const std::string folder = FreshPathIn(session_.work_folder, "~extract", "");
  if (!platform::CreateFolder(folder)) return {};
  cab.TargetPath = folder + platform::PathDelimiter();
  cab.CABFile = cabinet;
  // Stored under the manifest's or the signature's name, a file could pass for one of them.
  cab.RefusedNames = {session_.manifest_name,
                      session_.manifest_name + std::string(kSignatureSuffix)};
  cab.ExtractAll();
  return cab.TargetPath;
}

void TfrmZarnUpdate::InstallOwnExecutable(const std::string& entry, const std::string& own_name,
                                          const std::string& folder) {
  const std::string new_name = "new_" + own_name;
  const std::string work_copy = folder + new_name;
  // The extraction folder is new, so a failed rename leaves nothing to copy: the copy is not
  // tried, and its failure carries the rename's error.
  std::uint32_t error = kErrorFileNotFound;
  const bool renamed =
      !folder.empty() && platform::RenameFile(folder + LocalKeyPath(entry), work_copy, error);
  if (!renamed) ShowStatus("Unable to Rename " + entry);
  PumpMessagesFor(kBetweenOwnStepsMs);
  const bool copied = renamed && platform::ReplaceFileWithCopy(
                                     work_copy, session_.program_folder + new_name, error);
  PumpMessagesFor(kBetweenOwnStepsMs);
  if (copied) {
    // The extracted copy has a data file's permissions: the updater swapped in from it must run.
    platform::TakePermissionsOf(parts_.executable_path(), session_.program_folder + new_name);
    platform::DeleteFile(work_copy);
    ShowStatus(own_name + " will be replaced when ZARN starts.");
  } else {
    ++files_not_installed_;
    ShowStatus("ReplaceEx " + entry + "Failed: " + std::to_string(error));
  }
}

void TfrmZarnUpdate::InstallOrdinaryFile(const std::string& entry, const std::string& folder) {
  if (folder.empty() || !ExtractedFileExists(folder, entry)) {
    ++files_not_installed_;
    ShowStatus(" - " + entry + " extraction failed.");
    return;
  }
  const std::string relative = LocalKeyPath(entry);
  const std::string source = folder + relative;
  ReplaceResult result;
  if (LeadsThroughLink(session_.program_folder, relative, platform::PathDelimiter())) {
    result.error = kErrorAccessDenied;  // never written through a link
  } else {
    result = ReplaceInstalledFile(source, session_.program_folder + relative);
  }
  if (result.replaced) {
    platform::DeleteFile(source);
    ShowStatus("Replaced " + entry + (result.times_carried ? "" : " *"));
  } else {
    ++files_not_installed_;
    ShowStatus("Replace " + entry + " Failed: " + std::to_string(result.error));
  }
}

}  // namespace zarn
