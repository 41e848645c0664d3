// The message pump of the main window: it dispatches the main thread's queued window messages
// when the socket layer calls it between wait slices and after sends.
#pragma once

#include "net/message_pump_base.h"

namespace zarn {

class TMessagePump : public TMessagePumpBase {
 public:
  // With ApplicationHasPriority, every waiting message is dispatched; otherwise exactly one, and
  // only when one is waiting.
  void Pump() override;
};

}  // namespace zarn
