// What the command-line tools share: their exit statuses, the help switch and the complaint
// about a bad command line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the work itself failed
inline constexpr int kExitUsage = 2;   // the command line is wrong

// True when any argument asks for the help text.
inline bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") return true;
  }
  return false;
}

// Names the problem and where help is on standard error; returns kExitUsage.
inline int Usage(std::string_view tool, const std::string& problem) {
  std::fprintf(stderr, "%.*s: %s\nTry '%.*s --help'.\n", static_cast<int>(tool.size()), tool.data(),
               problem.c_str(), static_cast<int>(tool.size()), tool.data());
  return kExitUsage;
}

}  // namespace zarn::tool
