#include "net/low_speed_window.h"

namespace zarn {

void TLowSpeedWindow::Moved(std::size_t bytes, Clock::time_point at) {
  if (bytes == 0) return;
  arrivals_.push_back({at, bytes});
  total_ += bytes;
  // Older arrivals no longer decide when the newest ones fall short of the minimum.
  while (total_ - arrivals_.front().bytes >= kMinimumBytes) {
    total_ -= arrivals_.front().bytes;
    arrivals_.pop_front();
  }
}

TLowSpeedWindow::Clock::time_point TLowSpeedWindow::Deadline() const {
  return (total_ >= kMinimumBytes ? arrivals_.front().at : start_) + window_;
}

}  // namespace zarn
