// Names a release may list, each with what the updater's name rules make of it. One table for
// the updater's rule and for the publisher's tool, which must refuse to build (and to call sound)
// exactly the releases the updater would skip or mis-read.
#pragma once

#include <string>
#include <vector>

#include "app/manifest_names.h"

namespace zarn::test {

struct ManifestNameRow {
  std::string key;
  NameRefusal refusal;
  bool posix_file;  // a program folder on POSIX can hold it ("\" separates the one folder level)
};

inline const std::vector<ManifestNameRow>& ManifestNameRows() {
  static const std::vector<ManifestNameRow> rows = {
      {"radio.dll", NameRefusal::kNone, true},
      {"Drivers\\radio.dll", NameRefusal::kNone, true},
      {"Drivers\\z4up.ini", NameRefusal::kNone, true},  // not in the work folder's top level
      {"backup~long.txt", NameRefusal::kNone, true},    // longer than a short name
      {"a~1.longext", NameRefusal::kNone, true},
      {"error", NameRefusal::kListMarker, true},
      {"**", NameRefusal::kListMarker, false},
      {"a=b.txt", NameRefusal::kMisread, true},  // read back as the key "a"
      {";notes.txt", NameRefusal::kMisread, true},
      {"[x].txt", NameRefusal::kMisread, true},
      {" lead.txt", NameRefusal::kMisread, true},
      {"'q.txt'", NameRefusal::kMisread, true},
      {std::string(2048, 'n'), NameRefusal::kMisread, false},  // longer than the value buffer
      {"z4up.ini", NameRefusal::kManifestName, true},  // would overwrite the verified manifest
      {"Z4UPBETA.INI.SIG", NameRefusal::kManifestName, true},
      {"temp_update\\x.dll", NameRefusal::kWorkFolder, true},
      {"TEMP_UPDATE", NameRefusal::kWorkFolder, true},
      {"ZARN4U~1.EXE", NameRefusal::kShortName, true},  // the updater itself on Windows
      {"Drivers\\RADIO~12.DLL", NameRefusal::kShortName, true},
      {"zarn~e4z.exe", NameRefusal::kShortName, true},  // the form Wine makes
      {"TEMP_U~1\\x.dll", NameRefusal::kShortName, true},
      {"..\\evil.txt", NameRefusal::kOutsideFolder, false},
      {"x?.dll", NameRefusal::kOutsideFolder, true},
  };
  return rows;
}

}  // namespace zarn::test
