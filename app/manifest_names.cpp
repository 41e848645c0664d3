#include "app/manifest_names.h"

namespace zarn {

bool IsFileInsideProgramFolder(std::string_view key) {
  return !key.empty();
}

bool IsPlainCabName(std::string_view name) {
  return !name.empty();
}

}  // namespace zarn
