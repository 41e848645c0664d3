#include "automation/start_mode.h"

#include <string_view>

#include "common/text.h"

namespace zarn {

namespace {

// True when some parameter after the program is "-" or "/" followed by name, in any case.
bool HasSwitch(const std::vector<std::string>& parameters, std::string_view name) {
  for (std::size_t i = 1; i < parameters.size(); ++i) {
    const std::string_view parameter = parameters[i];
    if (parameter.empty() || (parameter[0] != '-' && parameter[0] != '/')) continue;
    if (UpperAscii(parameter.substr(1)) == name) return true;
  }
  return false;
}

}  // namespace

TStartMode StartModeFromParameters(const std::vector<std::string>& parameters) {
  if (HasSwitch(parameters, "AUTOMATION") || HasSwitch(parameters, "EMBEDDING")) {
    return TStartMode::smAutomation;
  }
  if (HasSwitch(parameters, "REGSERVER")) return TStartMode::smRegServer;
  if (HasSwitch(parameters, "UNREGSERVER")) return TStartMode::smUnregServer;
  return TStartMode::smStandalone;
}

}  // namespace zarn
