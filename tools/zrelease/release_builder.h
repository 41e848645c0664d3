// "zrelease build": an update folder made from a program folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::release {

struct BuildOptions {
  std::string from;                          // the program folder
  std::string to;                            // the update folder, created when missing
  bool beta = false;                         // "z4upbeta.ini" instead of "z4up.ini"
  std::vector<std::string> registered;       // manifest keys marked "True" under "Registration"
  std::optional<std::int32_t> time;          // "Time Of Update"; default: now
  std::string key_path;                      // private key; empty: unsigned
  std::optional<std::int32_t> expires_days;  // "Expires" this many days after "Time Of Update"
  std::string base;                          // the previous program folder; empty: no patches
};

// Builds the release: one MSZIP cabinet per file of the folder and of its first-level
// subfolders, the manifest with "Ident" ("Time Of Update", "Channel", and "Expires" when asked
// for), "Files", "Cabs", "Registration", "Hashes" and "Sizes"; with a base, the patches against
// it and their "Patches" section (tools/zrelease/patch_builder.h); and with a key the manifest's
// signature beside it (without one, an old signature there is removed). Progress goes to
// standard output, a warning for each version the updater would rank wrongly to standard error.
// Returns an empty text, or what went wrong.
std::string BuildRelease(const BuildOptions& options);

// Why the updater's comparison (a * 1000000 + b * 10000 + c * 100 + d, in 32 bits) would rank a
// dotted version wrongly against others: a field after the first outside 0 to 99 carries into
// the field before it (1.2.3.150 ranks above 1.2.4.0), a whole beyond 2^31 - 1 wraps, a field
// that is no number stops the updater's pass. Empty when it ranks as it reads.
std::string VersionRankingProblem(std::string_view version);

// The cabinet's name for a manifest key: "\" becomes "_", then ".cab" is appended.
std::string CabinetNameFor(const std::string& key);

}  // namespace zarn::release
