// Installing the downloaded files: each file's cabinet is unpacked into the work folder and the
// file copied over the installed one. The updater's own executable cannot be replaced while it
// runs: it goes beside itself as "new_" + its upper-cased name for the main program to swap in.
#include "app/installed_file.h"
#include "app/main_form.h"
#include "app/manifest_names.h"
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
      ExtractCab(cab_name);
      PumpMessagesFor(kAfterOwnExtractionMs);
      InstallOwnExecutable(entry, own_name);
    } else {
      ShowStatus("Extracting " + entry);
      ExtractCab(cab_name);
      PumpMessagesFor(kAfterExtractionMs);
      InstallOrdinaryFile(entry);
    }
    pbar.SetPosition(pbar.Position() + 1);
  }
  if (own_index != -1) download_list.erase(download_list.begin() + own_index);
}

// The result is not looked at: whether the needed file came out is judged by the existence test.
void TfrmZarnUpdate::ExtractCab(const std::string& cab_name) {
  cab.TargetPath = session_.work_folder;
  cab.CABFile = session_.work_folder + cab_name;
  cab.ExtractAll();
}

void TfrmZarnUpdate::InstallOwnExecutable(const std::string& entry, const std::string& own_name) {
  const std::string new_name = "new_" + own_name;
  const std::string work_copy = session_.work_folder + new_name;
  std::uint32_t error = 0;
  if (!platform::RenameFile(session_.work_folder + LocalKeyPath(entry), work_copy, error)) {
    ShowStatus("Unable to Rename " + entry);
  }
  PumpMessagesFor(kBetweenOwnStepsMs);
  const bool copied =
      platform::ReplaceFileWithCopy(work_copy, session_.program_folder + new_name, error);
  PumpMessagesFor(kBetweenOwnStepsMs);
  if (copied) {
    // The extracted copy has a data file's permissions: the updater swapped in from it must run.
    platform::TakePermissionsOf(parts_.executable_path(), session_.program_folder + new_name);
    platform::DeleteFile(work_copy);
    ShowStatus(own_name + " will be replaced when ZARN starts.");
  } else {
    ShowStatus("ReplaceEx " + entry + "Failed: " + std::to_string(error));
  }
}

void TfrmZarnUpdate::InstallOrdinaryFile(const std::string& entry) {
  if (!ExtractedFileExists(session_.work_folder, entry)) {
    ShowStatus(" - " + entry + " extraction failed.");
    return;
  }
  const std::string relative = LocalKeyPath(entry);
  const std::string source = session_.work_folder + relative;
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
    ShowStatus("Replace " + entry + " Failed: " + std::to_string(result.error));
  }
}

}  // namespace zarn
