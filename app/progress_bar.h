// The window's thin progress bar, pbar: a range and a position, drawn by the platform window as
// the share of the range covered (0 to 100).
#pragma once

#include <functional>

namespace zarn {

class TProgressBar {
 public:
  // draw receives the share in percent each time range or position change.
  explicit TProgressBar(std::function<void(int percent)> draw) : draw_(std::move(draw)) {}

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  // Sets the range; the position is kept inside it.
  void SetRange(int min, int max);
  void SetPosition(int position);
  void StepBy(int delta) { SetPosition(position_ + delta); }
  int Percent() const;

 private:
  std::function<void(int)> draw_;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};

}  // namespace zarn
