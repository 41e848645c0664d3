#include "app/progress_bar.h"

#include <algorithm>
#include <cstdint>

namespace zarn {

void TProgressBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  SetPosition(position_);
}

void TProgressBar::SetPosition(int position) {
  position_ = std::clamp(position, min_, max_);
  if (draw_) draw_(Percent());
}

// An empty range (one file: minimum and maximum 1) is drawn full, as the bar is at its end.
int TProgressBar::Percent() const {
  if (max_ == min_) return 100;
  return static_cast<int>(static_cast<std::int64_t>(position_ - min_) * 100 / (max_ - min_));
}

}  // namespace zarn
