// The window's thin progress bar: a position between Min and Max, drawn by the platform window.
#pragma once

#include <algorithm>

#include "platform/window.h"

namespace zarn {

class TProgressBar {
 public:
  explicit TProgressBar(platform::MainWindow& window) : window_(&window) {}

  int Min = 0;
  int Max = 100;

  int Position() const { return position_; }
  // Keeps the position within Min and Max, as the bar shows it.
  void SetPosition(int position) {
    position_ = std::clamp(position, Min, std::max(Min, Max));
    window_->SetProgress(position_);
  }

 private:
  platform::MainWindow* window_;
  int position_ = 0;
};

}  // namespace zarn
