// zreg's help texts.
#include <string>

#include "common/text.h"
#include "tools/zreg/zreg.h"

namespace zarn::zreg {

namespace {

constexpr const char* kGeneral =
    R"(zreg: edits the ZARN 4 settings store, with the conventions of Windows' reg.

  zreg query  KEY [/v NAME | /ve] [/s]
  zreg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
  zreg delete KEY [/v NAME | /ve | /va] [/f]
  zreg export KEY FILE [/y]
  zreg import FILE

KEY is a root followed by a path: HKCU (HKEY_CURRENT_USER), HKCR (HKEY_CLASSES_ROOT) or
HKLM (HKEY_LOCAL_MACHINE), e.g. "HKCU\Software\Brenicsoft\Zarn4\Config". Key paths and value
names ignore letter case. Switches may begin with "/" or "-".

On POSIX the store is the SQLite file $ZARN4_REGISTRY, else $XDG_DATA_HOME/zarn4/registry.db
(default ~/.local/share/zarn4/registry.db); on Windows it is the registry.

Exit codes: 0 done; 1 failed or cancelled; 2 bad input.
"zreg OPERATION /?" shows the help of one operation.
)";

constexpr const char* kQuery = R"(zreg query KEY [/v NAME | /ve] [/s]

  Shows the values and sub-keys of KEY.
  /v NAME  only the value NAME          /ve  only the default value, shown as (Default)
  /s       KEY and all keys below it, with their values

Example: zreg query "HKCU\Software\Brenicsoft\Zarn4\Config" /v "Program Folder"
)";

constexpr const char* kAdd = R"(zreg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]

  Creates KEY (and its parents) and, with /v or /ve, sets a value in it.
  /v NAME       the value to set          /ve  the default value
  /t TYPE       REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,
                REG_BINARY or REG_NONE
  /d DATA       texts as they are; numbers in decimal or 0x hexadecimal; binary data as
                hexadecimal digit pairs (01ff); REG_MULTI_SZ items split at the separator
  /s SEPARATOR  the item separator of REG_MULTI_SZ data (default \0)
  /f            overwrite an existing value without asking

Example: zreg add "HKCU\Software\Brenicsoft\Zarn4\Config" /v "Beta Mode Enabled" /t REG_DWORD /d 1 /f
)";

constexpr const char* kDelete = R"(zreg delete KEY [/v NAME | /ve | /va] [/f]

  Deletes KEY with everything below it, or only a value of it.
  /v NAME  the value NAME     /ve  the default value     /va  every value of KEY
  /f       delete without asking
)";

constexpr const char* kExport = R"(zreg export KEY FILE [/y]

  Writes KEY and everything below it to FILE in the REGEDIT4 text format.
  /y  overwrite FILE without asking
)";

constexpr const char* kImport = R"(zreg import FILE

  Applies a REGEDIT4 file: creates its keys and sets its values; "[-KEY]" deletes a key and
  "NAME"=- a value. A file with an error changes nothing.
)";

}  // namespace

void PrintHelp(std::ostream& out, const std::string& operation) {
  const std::string name = UpperAscii(operation);
  if (name == "QUERY") {
    out << kQuery;
  } else if (name == "ADD") {
    out << kAdd;
  } else if (name == "DELETE") {
    out << kDelete;
  } else if (name == "EXPORT") {
    out << kExport;
  } else if (name == "IMPORT") {
    out << kImport;
  } else {
    out << kGeneral;
  }
}

}  // namespace zarn::zreg
