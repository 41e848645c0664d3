// Patches in the download pass: an entry whose installed file is the base a listed patch names
// downloads the patch instead of its cabinet and applies it at once, so that every way it can fail
// (not on the server, refused by its checks, not decoding to the listed file, a base that changed
// since the comparison) still leaves the whole cabinet to download in the same attempt. The
// patched file waits in an extraction folder of its own, with the time the cabinet stores for it,
// and InstallFiles takes it from there (its digest checked again) exactly as a file extracted from
// the cabinet.
#include <algorithm>

#include "app/checked_download.h"
#include "app/file_patches.h"
#include "app/main_form.h"
#include "app/manifest_names.h"
#include "app/release_trust.h"
#include "cab/stored_names.h"
#include "common/text.h"
#include "platform/file_times.h"
#include "platform/files.h"
#include "platform/patch.h"

namespace zarn {

namespace {

// Creates the folders of relative (a path with the platform's delimiter) below folder.
bool CreateFoldersFor(const std::string& folder, const std::string& relative) {
  const char delimiter = platform::PathDelimiter();
  for (std::size_t at = relative.find(delimiter); at != std::string::npos;
       at = relative.find(delimiter, at + 1)) {
    const std::string part = folder + relative.substr(0, at);
    if (!platform::DirectoryExists(part) && !platform::CreateFolder(part)) return false;
  }
  return true;
}

// Gives the file the last-write time a cabinet's extraction gives it: the stored DOS date and time
// as they stand. A date that names no real moment is left out, as the extraction leaves it out.
void SetCabinetTime(const std::string& path, const FilePatch& patch) {
  std::uint32_t error = 0;
  const platform::FileHandle file =
      platform::OpenFileHandle(path, platform::FileAccess::kWrite, error);
  if (file == platform::kInvalidFileHandle) return;
  platform::SetLastWriteTimeFromDos(file, patch.dos_date, patch.dos_time, error);
  platform::CloseFileHandle(file, error);
}

}  // namespace

bool TfrmZarnUpdate::DownloadPatch(const PatchPass& pass, const std::string& entry,
                                   const std::string& progress) {
  const std::string value = pass.manifest.ReadString(kManifestPatches, entry);
  if (value == kManifestDefault) return false;
  const auto fail = [this, &entry](std::string_view reason) {
    ShowStatus("Patch for " + entry + " failed (" + std::string(reason) +
               "); downloading its cabinet");
    return false;
  };
  const std::optional<FilePatch> patch = ParseFilePatch(value);
  if (!patch) return fail("malformed entry");

  const std::string relative = LocalKeyPath(entry);
  const bool own = UpperAscii(entry) ==
                   UpperAscii(NamePart(parts_.executable_path(), platform::PathDelimiter()));
  const std::string installed = own ? parts_.executable_path() : session_.program_folder + relative;
  // Only the listed base takes the patch; every other installed file gets its cabinet as before.
  if (!own && LeadsThroughLink(session_.program_folder, relative, platform::PathDelimiter())) {
    return false;
  }
  if (platform::Sha256File(installed) != patch->base) return false;

  const auto listed = [&pass](const std::string& name) {
    return std::any_of(pass.listing.begin(), pass.listing.end(),
                       [&name](const std::string& item) { return EqualsIgnoringCase(item, name); });
  };
  if (!listed(patch->patch)) return fail("not on the server");
  // Under the name of the manifest, its signature or a cabinet of this pass, the download would
  // replace that file in the work folder.
  bool taken =
      EqualsIgnoringCase(patch->patch, session_.manifest_name) ||
      EqualsIgnoringCase(patch->patch, session_.manifest_name + std::string(kSignatureSuffix));
  for (const std::string& other : pass.entries) {
    taken =
        taken || EqualsIgnoringCase(patch->patch, pass.manifest.ReadString(kManifestCabs, other));
  }
  if (taken) return fail("its name is taken");
  DownloadChecks checks;
  checks.max_bytes = platform::kMaxPatchedFileBytes;
  const std::string digest = pass.manifest.ReadString(kManifestHashes, patch->patch);
  if (digest != kManifestDefault) {
    checks.digest = digest;
  } else if (pass.digests_required) {
    return fail("no digest");
  }
  const std::string size = pass.manifest.ReadString(kManifestSizes, patch->patch);
  if (size != kManifestDefault) {
    checks.size = ParseListedSize(size);
    if (!checks.size) return fail("malformed size");
    checks.max_bytes = *checks.size;
  }

  const std::string patch_path = session_.work_folder + patch->patch;
  try {
    DownloadChecked(ftp, patch->patch, session_.work_folder, patch_path, checks);
  } catch (...) {
    ftp.Abort();
    SkipStaleReplies();
    return fail("download failed");
  }
  ShowStatus(progress + " Download " + patch->patch + " (" + entry + ")" + " OK");

  const std::string created = FreshPathIn(session_.work_folder, "~extract", "");
  const std::string folder = created + platform::PathDelimiter();
  platform::PatchResult result = platform::PatchResult::kCannotWrite;
  if (platform::CreateFolder(created) && CreateFoldersFor(folder, relative)) {
    result = platform::ApplyPatch(installed, patch_path, folder + relative, patch->result_size,
                                  patch->result);
  }
  platform::DeleteFile(patch_path);
  if (result != platform::PatchResult::kApplied) return fail(platform::PatchResultText(result));
  SetCabinetTime(folder + relative, *patch);
  patched_files_[entry] = {folder, patch->result};
  return true;
}

std::string TfrmZarnUpdate::ExtractOrPatched(const UpdateManifest& manifest,
                                             const std::string& entry,
                                             const std::string& cab_name) {
  const auto patched = patched_files_.find(entry);
  if (patched == patched_files_.end()) return ExtractCab(manifest, cab_name);
  // Checked again right before the install, as a cabinet is right before its extraction.
  const PatchedFile& file = patched->second;
  if (platform::Sha256File(file.folder + LocalKeyPath(entry)) != file.digest) return {};
  return file.folder;
}

}  // namespace zarn
