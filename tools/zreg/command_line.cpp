#include "tools/zreg/command_line.h"

#include <array>
#include <string_view>

#include "common/text.h"

namespace zarn::zreg {

namespace {

struct OperationEntry {
  Operation operation;
  const char* name;
  std::size_t arguments;      // how many keys and files it takes
  std::string_view switches;  // the switches it accepts, blank-separated
};

constexpr std::array<OperationEntry, 5> kOperations{{
    {Operation::kQuery, "QUERY", 1, "v ve s"},
    {Operation::kAdd, "ADD", 1, "v ve t d s f"},
    {Operation::kDelete, "DELETE", 1, "v ve va f"},
    {Operation::kExport, "EXPORT", 2, "y"},
    {Operation::kImport, "IMPORT", 1, ""},
}};

bool IsHelp(std::string_view arg) {
  return arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help";
}

bool Accepts(std::string_view switches, std::string_view name) {
  while (!switches.empty()) {
    const std::size_t blank = switches.find(' ');
    if (switches.substr(0, blank) == name) return true;
    switches.remove_prefix(blank == std::string_view::npos ? switches.size() : blank + 1);
  }
  return false;
}

// The switch an argument names for this operation ("/VE" -> "ve"), or empty when the argument
// is not one of its switches (a key or a file, an absolute POSIX path included).
std::string SwitchName(std::string_view arg, const OperationEntry& entry) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return {};
  const std::string name = LowerAscii(arg.substr(1));
  return Accepts(entry.switches, name) ? name : std::string();
}

}  // namespace

const char* OperationName(Operation operation) {
  for (const auto& entry : kOperations) {
    if (entry.operation == operation) return entry.name;
  }
  return "";
}

bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error) {
  if (args.empty()) {
    error = "No operation given.";
    return false;
  }
  if (IsHelp(args[0])) {
    options.help = true;
    return true;
  }
  const OperationEntry* entry = nullptr;
  for (const auto& candidate : kOperations) {
    if (EqualsIgnoringCase(args[0], candidate.name)) entry = &candidate;
  }
  if (entry == nullptr) {
    error = "Unknown operation '" + args[0] + "'.";
    return false;
  }
  options.operation = entry->operation;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (IsHelp(arg)) {
      options.help = true;
      return true;
    }
    const std::string name = SwitchName(arg, *entry);
    if (name.empty()) {
      options.arguments.push_back(arg);
      continue;
    }
    // Switches with a parameter take the next argument as it is, even one that begins with "/".
    const bool takes_parameter = name == "v" || name == "t" || name == "d" ||
                                 (name == "s" && entry->operation == Operation::kAdd);
    std::optional<std::string> parameter;
    if (takes_parameter) {
      if (i + 1 >= args.size()) {
        error = "The switch " + arg + " needs a parameter.";
        return false;
      }
      parameter = args[++i];
    }
    bool repeated = false;
    auto set = [&repeated](auto& field, auto value) {
      if (field) repeated = true;
      field = value;
    };
    if (name == "v") set(options.value_name, parameter);
    if (name == "ve") set(options.default_value, true);
    if (name == "va") set(options.all_values, true);
    if (name == "t") set(options.type, parameter);
    if (name == "d") set(options.data, parameter);
    if (name == "f") set(options.force, true);
    if (name == "y") set(options.overwrite_file, true);
    if (name == "s") {
      if (entry->operation == Operation::kAdd) {
        set(options.separator, parameter);
      } else {
        set(options.recurse, true);
      }
    }
    if (repeated) {
      error = "The switch " + arg + " is given twice.";
      return false;
    }
  }
  if (options.arguments.size() != entry->arguments) {
    error = std::string(entry->name) + " takes " +
            (entry->arguments == 1 ? "one argument" : "two arguments") + ", not " +
            std::to_string(options.arguments.size()) + ".";
    return false;
  }
  const int value_choices =
      (options.value_name ? 1 : 0) + (options.default_value ? 1 : 0) + (options.all_values ? 1 : 0);
  if (value_choices > 1) {
    error = "Give only one of /v, /ve and /va.";
    return false;
  }
  if (options.separator && options.separator->size() != 1) {
    error = "The separator of /s must be one character.";
    return false;
  }
  return true;
}

}  // namespace zarn::zreg
