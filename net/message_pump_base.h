// The process-wide message pump that the socket layer calls while it waits, so that the window
// keeps answering during blocking network calls. The pump has no thread or timer of its own: the
// socket layer calls PumpIfDue after every readiness wait and after every send, and waits for
// data are cut into slices of IdleTimeOut while an active pump is registered.
#pragma once

namespace zarn {

class TMessagePumpBase {
 public:
  // Registers the new pump as the global one, replacing any earlier registration.
  TMessagePumpBase();
  // Clears the global registration.
  virtual ~TMessagePumpBase();
  TMessagePumpBase(const TMessagePumpBase&) = delete;
  TMessagePumpBase& operator=(const TMessagePumpBase&) = delete;

  // When false the pump never runs and waits are not sliced.
  bool Active = true;
  // True: each pump call processes every waiting message; false: at most one.
  bool ApplicationHasPriority = true;
  // The length of one wait slice in milliseconds.
  int IdleTimeOut = 250;
  // When true the pump runs only after a slice that saw no data.
  bool OnlyWhenIdle = true;

  // The registered pump, or none.
  static TMessagePumpBase* Global();
  // Runs the registered pump's Pump when the caller is on the main thread, the pump is Active,
  // and OnlyWhenIdle is false or idle or override_idle is true.
  static void PumpIfDue(bool idle, bool override_idle);

  virtual void Pump() = 0;
};

}  // namespace zarn
