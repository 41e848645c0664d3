// A status sink that keeps the lines it is given, for tests that check the exact texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/status_sink.h"

namespace zarn::testing_support {

class RecordingStatus final : public StatusSink {
 public:
  void ShowStatus(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

}  // namespace zarn::testing_support
