// zreg's operations. Every change goes through the platform's registry interface, so the tool
// edits the SQLite store on POSIX and the real registry on Windows.
#include "tools/zreg/zreg.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "common/text.h"
#include "tools/zreg/command_line.h"
#include "tools/zreg/key_name.h"
#include "tools/zreg/regedit4.h"
#include "tools/zreg/value_text.h"

namespace zarn::zreg {

namespace {

using platform::RegistryKey;
using platform::RegistryRead;
using platform::RegistryStatus;
using platform::RegistryType;
using platform::RegistryValue;

constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kDone = "The operation completed successfully.";
constexpr const char* kCancelled = "The operation was cancelled by the user.";
constexpr const char* kIndent = "    ";

class Command {
 public:
  Command(const Options& options, Console& console) : options_(options), console_(console) {}

  int Run() {
    switch (options_.operation) {
      case Operation::kQuery:
        return WithKey(&Command::Query);
      case Operation::kAdd:
        return WithKey(&Command::Add);
      case Operation::kDelete:
        return WithKey(&Command::Delete);
      case Operation::kExport:
        return WithKey(&Command::Export);
      case Operation::kImport:
        return Import();
      case Operation::kNone:
        break;
    }
    return kExitBadInput;
  }

 private:
  int WithKey(int (Command::*operation)(const KeyName&)) {
    const std::string& text = options_.arguments.front();
    if (text.substr(0, 2) == "\\\\") return BadInput("Remote registries are not supported.");
    const auto key = ParseKeyName(text);
    if (!key) {
      return BadInput("Invalid key name '" + text +
                      "': begin it with HKCU, HKCR or HKLM (or their long forms).");
    }
    return (this->*operation)(*key);
  }

  int BadInput(const std::string& message) {
    console_.err << "ERROR: " << message << "\n";
    return kExitBadInput;
  }

  int Failed(const std::string& message) {
    console_.err << message << "\n";
    return kExitFailed;
  }

  int Done() {
    console_.out << kDone << "\n";
    return kExitOk;
  }

  // Asks on the console; only "y" or "yes" (any case) is yes, the end of input is no.
  bool Confirmed(const std::string& question) {
    if (options_.force) return true;
    console_.out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(console_.in, answer)) {
      console_.out << "\n";
      return false;
    }
    const std::string_view word = Trim(answer);
    return EqualsIgnoringCase(word, "y") || EqualsIgnoringCase(word, "yes");
  }

  // The value name /v or /ve selects ("" for the default value).
  std::string SelectedName() const { return options_.value_name.value_or(std::string()); }
  bool ValueSelected() const { return options_.value_name || options_.default_value; }

  // The value's name with the letter case it is stored with.
  static std::string StoredName(RegistryKey& key, const std::string& name) {
    for (const std::string& stored : key.ValueNames()) {
      if (EqualsIgnoringCase(stored, name)) return stored;
    }
    return name;
  }

  static std::string ShownName(const std::string& name) {
    return name.empty() ? "(Default)" : name;
  }

  void PrintValue(const std::string& name, const RegistryValue& value) {
    console_.out << kIndent << ShownName(name) << kIndent << TypeName(value.type) << kIndent
                 << DisplayData(value) << "\n";
  }

  // Prints the key's header and its values (or the selected one); returns how many it printed.
  int PrintKey(const KeyName& name, RegistryKey& key, bool only_matches) {
    int printed = 0;
    if (ValueSelected()) {
      const RegistryRead read = key.QueryValue(SelectedName());
      if (read.status == RegistryStatus::kOk) {
        console_.out << "\n" << FullName(name) << "\n";
        PrintValue(StoredName(key, SelectedName()), read.value);
        return 1;
      }
      if (only_matches || !options_.default_value) return 0;
      console_.out << "\n" << FullName(name) << "\n";
      console_.out << kIndent << "(Default)" << kIndent << "REG_SZ" << kIndent
                   << "(value not set)\n";
      return 1;
    }
    console_.out << "\n" << FullName(name) << "\n";
    for (const std::string& value_name : key.ValueNames()) {
      const RegistryRead read = key.QueryValue(value_name);
      if (read.status != RegistryStatus::kOk) continue;
      PrintValue(value_name, read.value);
      ++printed;
    }
    return printed + 1;
  }

  int Query(const KeyName& name) {
    auto key = RegistryKey::Open(name.root, name.path, RegistryKey::Access::kRead);
    if (!key) return Failed(kNotFound);
    if (options_.recurse) {
      const int matches = QueryTree(name, *key);
      console_.out << "\nEnd of search: " << matches << " match(es) found.\n";
      return matches > 0 || !ValueSelected() ? kExitOk : kExitFailed;
    }
    const int printed = PrintKey(name, *key, false);
    if (ValueSelected() && printed == 0) return Failed(kNotFound);
    if (!ValueSelected()) {
      const auto sub_keys = key->SubKeyNames();
      if (!sub_keys.empty()) console_.out << "\n";
      for (const std::string& sub : sub_keys) console_.out << FullName(SubKey(name, sub)) << "\n";
    }
    return kExitOk;
  }

  int QueryTree(const KeyName& name, RegistryKey& key) {
    int matches = PrintKey(name, key, true);
    for (const std::string& sub : key.SubKeyNames()) {
      const KeyName child = SubKey(name, sub);
      if (auto sub_key = RegistryKey::Open(child.root, child.path, RegistryKey::Access::kRead)) {
        matches += QueryTree(child, *sub_key);
      }
    }
    return matches;
  }

  int Add(const KeyName& name) {
    const auto type = ParseTypeName(options_.type.value_or("REG_SZ"));
    if (!type) {
      return BadInput("Invalid type '" + *options_.type +
                      "'. Use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, "
                      "REG_BINARY or REG_NONE.");
    }
    if (!ValueSelected() && (options_.type || options_.data)) {
      return BadInput("Give /v NAME or /ve with /t and /d.");
    }
    std::string problem;
    const char separator = options_.separator ? options_.separator->front() : '\0';
    const auto bytes = EncodeData(*type, options_.data.value_or(""), separator, problem);
    if (!bytes) return BadInput(problem);
    if (ValueSelected()) {
      const auto existing = RegistryKey::Open(name.root, name.path, RegistryKey::Access::kRead);
      if (existing && existing->QueryValue(SelectedName()).status == RegistryStatus::kOk &&
          !Confirmed("Value " + ShownName(SelectedName()) + " exists, overwrite")) {
        return Failed(kCancelled);
      }
    }
    const auto key = RegistryKey::Create(name.root, name.path);
    if (!key) return Failed("ERROR: Could not create or open the key " + FullName(name) + ".");
    if (ValueSelected() && !key->SetValue(SelectedName(), *type, *bytes)) {
      return Failed("ERROR: Could not set the value " + ShownName(SelectedName()) + ".");
    }
    return Done();
  }

  int Delete(const KeyName& name) {
    auto key = RegistryKey::Open(name.root, name.path, RegistryKey::Access::kAll);
    if (!key) return Failed(kNotFound);
    if (ValueSelected()) {
      if (key->QueryValue(SelectedName()).status != RegistryStatus::kOk) return Failed(kNotFound);
      if (!Confirmed("Delete the registry value " + ShownName(SelectedName()))) {
        return Failed(kCancelled);
      }
      if (!key->DeleteValue(SelectedName())) return Failed("ERROR: Could not delete the value.");
      return Done();
    }
    if (options_.all_values) {
      if (!Confirmed("Delete all values under the registry key " + FullName(name))) {
        return Failed(kCancelled);
      }
      for (const std::string& value_name : key->ValueNames()) {
        if (!key->DeleteValue(value_name)) {
          return Failed("ERROR: Could not delete the value " + ShownName(value_name) + ".");
        }
      }
      return Done();
    }
    if (name.path.empty()) return BadInput("A root key cannot be deleted.");
    key.reset();
    if (!Confirmed("Permanently delete the registry key " + FullName(name))) {
      return Failed(kCancelled);
    }
    if (!RegistryKey::DeleteTree(name.root, name.path)) {
      return Failed("ERROR: Could not delete the key " + FullName(name) + ".");
    }
    return Done();
  }

  void ExportTree(std::ostream& out, const KeyName& name, RegistryKey& key) {
    std::vector<std::pair<std::string, RegistryValue>> values;
    for (const std::string& value_name : key.ValueNames()) {
      RegistryRead read = key.QueryValue(value_name);
      if (read.status == RegistryStatus::kOk)
        values.emplace_back(value_name, std::move(read.value));
    }
    WriteRegedit4Key(out, name, values);
    for (const std::string& sub : key.SubKeyNames()) {
      const KeyName child = SubKey(name, sub);
      if (auto sub_key = RegistryKey::Open(child.root, child.path, RegistryKey::Access::kRead)) {
        ExportTree(out, child, *sub_key);
      }
    }
  }

  int Export(const KeyName& name) {
    const std::string& file = options_.arguments[1];
    auto key = RegistryKey::Open(name.root, name.path, RegistryKey::Access::kRead);
    if (!key) return Failed(kNotFound);
    std::error_code ignored;
    if (std::filesystem::exists(file, ignored) && !options_.overwrite_file &&
        !Confirmed("File " + file + " already exists. Overwrite")) {
      return Failed(kCancelled);
    }
    std::ostringstream text;
    WriteRegedit4Header(text);
    ExportTree(text, name, *key);
    text << "\r\n";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.close();
    if (!out) return Failed("ERROR: Could not write the file " + file + ".");
    return Done();
  }

  int Import() {
    const std::string& file = options_.arguments.front();
    std::ifstream in(file, std::ios::binary);
    if (!in) return BadInput("Could not read the file " + file + ".");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Regedit4Entry> entries;
    Regedit4Error error;
    if (!ParseRegedit4(text, entries, error)) {
      return BadInput(file + ", line " + std::to_string(error.line) + ": " + error.message);
    }
    for (const Regedit4Entry& entry : entries) {
      if (!Apply(entry)) {
        return Failed("ERROR: Could not change " + FullName(entry.key) +
                      (entry.kind == Regedit4Entry::Kind::kSetValue
                           ? " (value " + ShownName(entry.name) + ")"
                           : std::string()) +
                      ".");
      }
    }
    return Done();
  }

  static bool Apply(const Regedit4Entry& entry) {
    const KeyName& key = entry.key;
    switch (entry.kind) {
      case Regedit4Entry::Kind::kCreateKey:
        return RegistryKey::Create(key.root, key.path) != nullptr;
      case Regedit4Entry::Kind::kDeleteKey:
        // A key that is already gone is what the file asks for.
        return RegistryKey::DeleteTree(key.root, key.path) ||
               RegistryKey::Open(key.root, key.path, RegistryKey::Access::kRead) == nullptr;
      case Regedit4Entry::Kind::kSetValue: {
        const auto opened = RegistryKey::Create(key.root, key.path);
        return opened && opened->SetValue(entry.name, entry.value.type, entry.value.data);
      }
      case Regedit4Entry::Kind::kDeleteValue: {
        const auto opened = RegistryKey::Open(key.root, key.path, RegistryKey::Access::kAll);
        return !opened || opened->DeleteValue(entry.name) ||
               opened->QueryValue(entry.name).status == RegistryStatus::kMissing;
      }
    }
    return false;
  }

  const Options& options_;
  Console& console_;
};

}  // namespace

int RunZreg(const std::vector<std::string>& args, Console& console) {
  Options options;
  std::string error;
  if (!ParseCommandLine(args, options, error)) {
    console.err << "ERROR: Invalid syntax. " << error << "\n"
                << "Type \"zreg /?\" for usage.\n";
    return kExitBadInput;
  }
  if (options.help) {
    PrintHelp(console.out, options.operation == Operation::kNone
                               ? std::string()
                               : OperationName(options.operation));
    return kExitOk;
  }
  return Command(options, console).Run();
}

}  // namespace zarn::zreg
