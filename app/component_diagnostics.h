// The diagnostic listings written to the update log when the program folder looks wrong: the
// suite's registered program components and the registered receiver drivers.
#pragma once

#include "app/status_sink.h"

namespace zarn {

void LogProgramComponents(StatusSink& status);
void LogReceiverDrivers(StatusSink& status);

}  // namespace zarn
