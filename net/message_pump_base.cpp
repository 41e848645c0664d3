#include "net/message_pump_base.h"

#include "platform/system.h"

namespace zarn {

namespace {
TMessagePumpBase* g_pump = nullptr;
}  // namespace

TMessagePumpBase::TMessagePumpBase() {
  g_pump = this;
}

TMessagePumpBase::~TMessagePumpBase() {
  g_pump = nullptr;
}

TMessagePumpBase* TMessagePumpBase::Global() {
  return g_pump;
}

void TMessagePumpBase::PumpIfDue(bool idle, bool override_idle) {
  if (g_pump == nullptr || !platform::IsMainThread()) return;
  if ((!g_pump->OnlyWhenIdle || idle || override_idle) && g_pump->Active) g_pump->Pump();
}

}  // namespace zarn
