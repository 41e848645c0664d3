#include "net/message_pump.h"

#include "platform/message_loop.h"

namespace zarn {

void TMessagePump::Pump() {
  if (ApplicationHasPriority) {
    platform::MessageLoop::ProcessMessages();
  } else if (platform::MessageLoop::MessageWaiting()) {
    platform::MessageLoop::ProcessOneMessage();
  }
}

}  // namespace zarn
