// "zrelease verify" of the "Patches" section.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/update_manifest.h"

namespace zarn::release {

// The problems of the manifest's patches in the update folder root: each must be listed for a
// "Files" key, well formed, present with a matching "Hashes" entry, and describe what the key's
// cabinet holds (the same SHA-256, size and stored date and time). With a base folder, each patch
// is also applied to the file it names there, which must be its base, and must give the result.
std::vector<std::string> VerifyPatches(const std::filesystem::path& root,
                                       const UpdateManifest& manifest,
                                       const std::string& base_folder);

// Applies the patch the manifest of the update folder root ("z4up.ini", or "z4upbeta.ini" with
// beta) lists for key to base into the new file output, as an updater would (the signature is
// not checked: this is the publisher's own release). Returns an empty text, or what went wrong.
std::string ApplyListedPatch(const std::filesystem::path& root, bool beta, const std::string& key,
                             const std::string& base, const std::string& output);

}  // namespace zarn::release
