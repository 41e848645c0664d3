// The commands of zrelease that make releases and keys, and the command line's shared replies.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/command_line.h"

namespace zarn::release {

inline int Usage(const std::string& problem) {
  return tool::Usage("zrelease", problem);
}

// The release could not be built, or it is not sound.
inline int Failed(const std::string& problem) {
  std::fprintf(stderr, "zrelease: %s\n", problem.c_str());
  return tool::kExitFailed;
}

// "build ..." and "keygen PRIVATE_KEY"; args[0] is the command's name.
int BuildCommand(const std::vector<std::string>& args);
int KeygenCommand(const std::vector<std::string>& args);

}  // namespace zarn::release
