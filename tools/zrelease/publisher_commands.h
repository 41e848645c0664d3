// The commands of zrelease that make releases and keys, and the command line's shared replies.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zarn::release {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the release could not be built, or it is not sound
inline constexpr int kExitUsage = 2;

inline int Usage(const std::string& problem) {
  std::fprintf(stderr, "zrelease: %s\nTry 'zrelease --help'.\n", problem.c_str());
  return kExitUsage;
}

inline int Failed(const std::string& problem) {
  std::fprintf(stderr, "zrelease: %s\n", problem.c_str());
  return kExitFailed;
}

// "build ..." and "keygen PRIVATE_KEY"; args[0] is the command's name.
int BuildCommand(const std::vector<std::string>& args);
int KeygenCommand(const std::vector<std::string>& args);

}  // namespace zarn::release
