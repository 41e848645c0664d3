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

}  // namespace zarn::release
