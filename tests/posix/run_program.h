// Runs a program of the build as a real process: arguments, text on standard input, and its
// exit code and output captured.
#pragma once

#include <string>
#include <vector>

namespace zarn::test {

struct ProgramResult {
  int exit_code = -1;  // -1 when it did not end normally
  std::string out;
  std::string err;
};

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::string& input = {});

// The path of a program built into the top of the build folder (zreg, zarn4update).
std::string BuiltProgram(const std::string& name);

}  // namespace zarn::test
