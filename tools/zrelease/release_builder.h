// "zrelease build": an update folder made from a program folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zarn::release {

struct BuildOptions {
  std::string from;                     // the program folder
  std::string to;                       // the update folder, created when missing
  bool beta = false;                    // "z4upbeta.ini" instead of "z4up.ini"
  std::vector<std::string> registered;  // manifest keys marked "True" under "Registration"
  std::optional<std::int32_t> time;     // "Time Of Update"; default: now
  std::string key_path;                 // private key; empty: unsigned
  std::string base;                     // the previous program folder; empty: no patches
};

// Builds the release: one MSZIP cabinet per file of the folder and of its first-level
// subfolders, the manifest with "Ident", "Files", "Cabs", "Registration" and "Hashes", and with
// a key the manifest's signature beside it; with a base, the patches against it and their
// "Patches" section (tools/zrelease/patch_builder.h). With (without one, an old signature there is
// removed). Progress goes to standard output. Returns an empty text, or what went wrong.
std::string BuildRelease(const BuildOptions& options);

// The cabinet's name for a manifest key: "\" becomes "_", then ".cab" is appended.
std::string CabinetNameFor(const std::string& key);

}  // namespace zarn::release
