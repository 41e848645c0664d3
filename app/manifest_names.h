// The file and cabinet names a manifest may give. The manifest comes from the network, so its
// names are checked before any of them is compared, downloaded, installed or registered. The
// same rules decide what "zrelease" builds and what its "verify" calls sound, so that a release
// the publisher's tool accepts is one the updater reads as written.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zarn {

// A "Files" key that names a file inside the program folder: relative, no drive or colon, no
// empty, "." or ".." component, no device name, and none of the characters that Windows keeps
// out of file names (control characters and < > " | ? *, which would act as wildcards in a
// directory search). "\" and "/" both separate folders.
bool IsFileInsideProgramFolder(std::string_view key);

// A "Cabs" value that is a plain file name in the update folder: the same rules, and no folder
// part at all.
bool IsPlainCabName(std::string_view name);

// Why a name cannot be a "Files" key or a "Cabs" name.
enum class NameRefusal {
  kNone,
  kListMarker,     // "ERROR" or "**", the update run's own list markers
  kOutsideFolder,  // not a file inside the program folder (a cabinet: not a plain name)
  kMisread,        // the INI reader would give back another name, or another entry's values
  kManifestName,   // the manifest's or its signature's name, in the work folder's top level
  kWorkFolder,     // below "temp_update", the update's own work folder
  kShortName,      // a Windows 8.3 short name, which may stand for another file
  kListedTwice,    // equal to an earlier name, letter case ignored (one file on Windows)
};

NameRefusal FileKeyRefusal(std::string_view key);
NameRefusal CabNameRefusal(std::string_view name);
// The reason as the status line and the publisher's tool give it, e.g. "not a file inside the
// program folder".
std::string_view RefusalText(NameRefusal refusal);

// Two names of one file for the manifest and for Windows: equal, letter case ignored.
bool SameManifestName(std::string_view a, std::string_view b);

// The "Files" keys split into those the updater takes, in order, and those it leaves out with
// the reason; of keys equal but for letter case only the first is taken.
struct ScreenedKeys {
  std::vector<std::string> taken;
  std::vector<std::pair<std::string, NameRefusal>> refused;
};
ScreenedKeys ScreenFileKeys(const std::vector<std::string>& keys);

// The updater's own file name as the keys give it, upper-cased: the long name of the running file,
// so that a program started through its 8.3 short name (ZARN4U~1.EXE) still knows its own key.
std::string OwnExecutableName(std::string_view executable_path);

// The key as a path below a folder of this platform: both separators become its delimiter.
std::string LocalKeyPath(std::string_view key);

}  // namespace zarn
