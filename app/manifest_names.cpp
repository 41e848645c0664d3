#include "app/manifest_names.h"

#include <array>
#include <set>

#include "app/long_path.h"
#include "app/update_manifest.h"
#include "cab/stored_names.h"
#include "common/text.h"
#include "platform/files.h"

namespace zarn {

namespace {

bool HasReservedCharacter(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
    if (std::string_view("<>\"|?*").find(c) != std::string_view::npos) return true;
  }
  return false;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::string_view FirstComponent(std::string_view name) {
  return name.substr(0, name.find_first_of("\\/"));
}

// What the INI reader does not give back as written: the name ends at the first "=", a leading
// ";" makes a comment and a leading "[" a section header, the blanks around a name or value are
// dropped, a value in matching quotes loses them, and a value longer than its buffer is cut.
bool IsMisread(std::string_view name) {
  if (name.find('=') != std::string_view::npos) return true;
  if (name.front() == ';' || name.front() == '[') return true;
  if (name.front() == ' ' || name.back() == ' ') return true;
  if (name.size() >= 2 && (name.front() == '\'' || name.front() == '"') &&
      name.back() == name.front()) {
    return true;
  }
  return name.size() >= kManifestValueBuffer;
}

// The files of the work folder's top level that the pass itself writes there.
bool IsManifestName(std::string_view name) {
  static constexpr std::array<std::string_view, 4> kOwn = {"z4up.ini", "z4upbeta.ini",
                                                           "z4up.ini.sig", "z4upbeta.ini.sig"};
  for (const auto own : kOwn) {
    if (EqualsIgnoringCase(name, own)) return true;
  }
  return false;
}

// A component in the form of the short names Windows makes: at most eight characters holding a
// "~" after the first, and an extension of at most three ("ZARN4U~1.EXE", "TEMP_U~1"; Wine
// makes "ZARN~E4Z.EXE"). Such a name may open another file, whose long name any check would
// compare in vain.
bool IsShortNameForm(std::string_view component) {
  const std::size_t dot = component.rfind('.');
  const std::string_view base = component.substr(0, dot);
  if (base.size() > 8 || (dot != std::string_view::npos && component.size() - dot - 1 > 3)) {
    return false;
  }
  const std::size_t tilde = base.find('~', 1);
  return tilde != std::string_view::npos && tilde + 1 < base.size();
}

bool HasShortNameComponent(std::string_view name) {
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (IsShortNameForm(name.substr(start, end - start))) return true;
    if (end == name.size()) return false;
    start = end + 1;
  }
}

}  // namespace

bool IsFileInsideProgramFolder(std::string_view key) {
  return IsSafeStoredName(key) && !HasReservedCharacter(key);
}

bool IsPlainCabName(std::string_view name) {
  return IsFileInsideProgramFolder(name) && name.find_first_of("\\/") == std::string_view::npos;
}

NameRefusal FileKeyRefusal(std::string_view key) {
  if (EqualsIgnoringCase(key, "ERROR") || key == "**") return NameRefusal::kListMarker;
  if (!key.empty() && IsMisread(key)) return NameRefusal::kMisread;
  if (!IsFileInsideProgramFolder(key)) return NameRefusal::kOutsideFolder;
  if (IsManifestName(key)) return NameRefusal::kManifestName;
  if (EqualsIgnoringCase(FirstComponent(key), "temp_update")) return NameRefusal::kWorkFolder;
  if (HasShortNameComponent(key)) return NameRefusal::kShortName;
  return NameRefusal::kNone;
}

NameRefusal CabNameRefusal(std::string_view name) {
  const NameRefusal refusal = FileKeyRefusal(name);
  if (refusal != NameRefusal::kNone) return refusal;
  return IsPlainCabName(name) ? NameRefusal::kNone : NameRefusal::kOutsideFolder;
}

std::string_view RefusalText(NameRefusal refusal) {
  switch (refusal) {
    case NameRefusal::kNone:
      return "";
    case NameRefusal::kListMarker:
      return "a marker of the update's file list";
    case NameRefusal::kOutsideFolder:
      return "not a file inside the program folder";
    case NameRefusal::kMisread:
      return "a name the manifest cannot carry as written";
    case NameRefusal::kManifestName:
      return "the name of the manifest or its signature";
    case NameRefusal::kWorkFolder:
      return "inside the update's work folder";
    case NameRefusal::kShortName:
      return "a short 8.3 name, which may stand for another file";
    case NameRefusal::kListedTwice:
      return "listed twice (letter case ignored)";
  }
  return "";
}

bool SameManifestName(std::string_view a, std::string_view b) {
  return EqualsIgnoringCase(a, b);
}

ScreenedKeys ScreenFileKeys(const std::vector<std::string>& keys) {
  ScreenedKeys screened;
  std::set<std::string> seen;  // upper-cased
  for (const std::string& key : keys) {
    NameRefusal refusal = FileKeyRefusal(key);
    if (refusal == NameRefusal::kNone && !seen.insert(UpperAscii(key)).second) {
      refusal = NameRefusal::kListedTwice;
    }
    if (refusal == NameRefusal::kNone) {
      screened.taken.push_back(key);
    } else {
      screened.refused.emplace_back(key, refusal);
    }
  }
  return screened;
}

std::string OwnExecutableName(std::string_view executable_path) {
  return UpperAscii(NamePart(ExpandLongPath(executable_path), platform::PathDelimiter()));
}

std::string LocalKeyPath(std::string_view key) {
  return LocalStoredName(key, platform::PathDelimiter());
}

}  // namespace zarn
