// Splitting the process's command line into parameters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zarn::platform::win32 {

// Splits at blanks (any character up to the space); double quotes group a parameter that holds
// blanks and are removed. An empty pair of quotes is an empty parameter.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

}  // namespace zarn::platform::win32
