// The command line of zreg: an operation, its key or file, and reg-style switches ("/v NAME",
// "/ve", "/f", ...; "-" works as well as "/", in any letter case).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zarn::zreg {

enum class Operation { kNone, kQuery, kAdd, kDelete, kExport, kImport };

struct Options {
  Operation operation = Operation::kNone;
  bool help = false;                      // /?, -h, --help
  std::vector<std::string> arguments;     // the key and the file, in order
  std::optional<std::string> value_name;  // /v NAME
  bool default_value = false;             // /ve
  bool all_values = false;                // /va
  bool recurse = false;                   // /s (query)
  std::optional<std::string> type;        // /t TYPE
  std::optional<std::string> data;        // /d DATA
  std::optional<std::string> separator;   // /s SEPARATOR (add)
  bool force = false;                     // /f
  bool overwrite_file = false;            // /y
};

// Fills options from the arguments after the program name; false with a reason on bad syntax.
bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

const char* OperationName(Operation operation);

}  // namespace zarn::zreg
