#include "platform/win32/command_line.h"

namespace zarn::platform::win32 {

namespace {
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}
}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
  std::vector<std::string> parameters;
  std::size_t i = 0;
  while (i < command_line.size()) {
    if (IsBlank(command_line[i])) {
      ++i;
      continue;
    }
    std::string parameter;
    bool quoted = false;
    for (; i < command_line.size() && (quoted || !IsBlank(command_line[i])); ++i) {
      if (command_line[i] == '"') {
        quoted = !quoted;
      } else {
        parameter += command_line[i];
      }
    }
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

}  // namespace zarn::platform::win32
