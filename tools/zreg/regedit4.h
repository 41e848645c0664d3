// The REGEDIT4 text format of registry exports:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Brenicsoft\Zarn4\Config]
//   @="default value"
//   "Program Folder"="C:\\ZARN4\\"
//   "Last Web Update"=dword:0000002a
//   "Last Web Update Time"=hex:00,00,00,00,00,a0,e6,40
//   "Notes"=hex(2):25,54,45,4d,50,25,00
//   "Old"=-
//   [-HKEY_CURRENT_USER\Software\Gone]
//
// Texts are the system's ANSI bytes; in quoted names and texts a backslash and a double quote
// are escaped with a backslash. Long hexadecimal data continues on the next line after ",\".
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "tools/zreg/key_name.h"

namespace zarn::zreg {

// Writing: the header once, then one section per key.
void WriteRegedit4Header(std::ostream& out);
void WriteRegedit4Key(std::ostream& out, const KeyName& key,
                      const std::vector<std::pair<std::string, platform::RegistryValue>>& values);

// One change a file asks for, in file order.
struct Regedit4Entry {
  enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = Kind::kCreateKey;
  KeyName key;
  std::string name;  // empty for the default value ("@")
  platform::RegistryValue value;
};

struct Regedit4Error {
  int line = 0;
  std::string message;
};

// Reads a whole file: every entry, or the first error (with its line number) and no entries.
bool ParseRegedit4(std::string_view text, std::vector<Regedit4Entry>& entries,
                   Regedit4Error& error);

}  // namespace zarn::zreg
