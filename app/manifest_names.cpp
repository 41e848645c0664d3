#include "app/manifest_names.h"

#include "cab/stored_names.h"
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

}  // namespace

bool IsFileInsideProgramFolder(std::string_view key) {
  return IsSafeStoredName(key) && !HasReservedCharacter(key);
}

bool IsPlainCabName(std::string_view name) {
  return IsFileInsideProgramFolder(name) && name.find_first_of("\\/") == std::string_view::npos;
}

std::string LocalKeyPath(std::string_view key) {
  return LocalStoredName(key, platform::PathDelimiter());
}

}  // namespace zarn
