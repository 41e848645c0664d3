// The low-speed rule of one transfer or reply: in every stretch of the window's length at least
// kMinimumBytes must move, or the operation has stalled. A server that trickles a byte just
// before each idle limit runs out would otherwise hold the client for ever.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

namespace zarn {

class TLowSpeedWindow {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kMinimumBytes = 512;

  TLowSpeedWindow(std::chrono::milliseconds window, Clock::time_point start)
      : window_(window), start_(start) {}

  // Counts bytes that moved at the given moment (moments never go back).
  void Moved(std::size_t bytes, Clock::time_point at);
  // The moment the rule is broken unless more bytes move first: the window after the oldest
  // arrival that the last kMinimumBytes need, or after the start while fewer have moved.
  Clock::time_point Deadline() const;

 private:
  struct Arrival {
    Clock::time_point at;
    std::size_t bytes;
  };

  std::chrono::milliseconds window_;
  Clock::time_point start_;
  // The newest arrivals that together reach kMinimumBytes (all of them while fewer have moved),
  // so at most kMinimumBytes entries.
  std::deque<Arrival> arrivals_;
  std::size_t total_ = 0;
};

}  // namespace zarn
