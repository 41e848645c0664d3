// A one-shot or repeating timer component: OnTimer runs from the message loop every Interval
// milliseconds while Enabled.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/message_loop.h"

namespace zarn {

class TTimer {
 public:
  std::function<void(TTimer& sender)> OnTimer;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t interval_ms);

 private:
  void Restart();

  bool enabled_ = false;
  std::uint32_t interval_ = 1000;
  std::unique_ptr<platform::Timer> timer_;
};

}  // namespace zarn
