// Where the parts of the updater send their status lines: the main window shows the latest one
// and appends each to the update log.
#pragma once

#include <string_view>

namespace zarn {

class StatusSink {
 public:
  virtual void ShowStatus(std::string_view text) = 0;

 protected:
  virtual ~StatusSink() = default;
};

}  // namespace zarn
