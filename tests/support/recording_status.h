// A status sink that keeps every line, for tests of code that reports through ShowStatus.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/status_sink.h"

namespace zarn::test {

class RecordingStatus final : public StatusSink {
 public:
  void ShowStatus(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

}  // namespace zarn::test
