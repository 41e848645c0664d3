// zreg's operations over the platform registry: query, add, delete, export and import.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace zarn::zreg {

// Exit codes: 0 done, 1 the operation failed or was cancelled (a missing key, a refused write,
// a "no" answer), 2 bad input (syntax, type, data, or an unreadable import file).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;

struct Console {
  std::istream& in;   // answers to the confirmation questions
  std::ostream& out;  // results and questions
  std::ostream& err;  // errors
};

// Runs one command line (the arguments after the program name).
int RunZreg(const std::vector<std::string>& args, Console& console);

// The help text for an operation, or the general one.
void PrintHelp(std::ostream& out, const std::string& operation);

}  // namespace zarn::zreg
