#include "app/timer.h"

namespace zarn {

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void TTimer::SetInterval(std::uint32_t interval_ms) {
  if (interval_ms == interval_) return;
  interval_ = interval_ms;
  Restart();
}

void TTimer::Restart() {
  timer_.reset();
  if (!enabled_ || interval_ == 0) return;
  timer_ = platform::Timer::Start(interval_, [this] {
    if (OnTimer) OnTimer(*this);
  });
}

}  // namespace zarn
