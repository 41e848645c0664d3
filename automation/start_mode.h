// How the program was started as an automation server, read once from its command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn {

enum class TStartMode : std::uint8_t {
  smStandalone = 0,  // started by the user
  smAutomation = 1,  // started by COM (or the bus) for a client
  smRegServer = 2,   // register and end
  smUnregServer = 3  // unregister and end
};

// The mode the parameters (parameter 0 being the program) select: "-" or "/" followed by
// "AUTOMATION" or "EMBEDDING", else "REGSERVER", else "UNREGSERVER", in any letter case;
// standalone when none is there.
TStartMode StartModeFromParameters(const std::vector<std::string>& parameters);

}  // namespace zarn
