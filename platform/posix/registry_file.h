// Where the POSIX registry store lives and how a connection to it is opened. Internal to the
// POSIX back end.
#pragma once

#include <optional>
#include <string>

#include "platform/posix/sqlite_db.h"

namespace zarn::platform::posix {

// The user's data folder: $XDG_DATA_HOME, with ~/.local/share standing in for an unset (or
// relative) one.
std::string DataHomeFolder();

// $ZARN4_REGISTRY when set, else $XDG_DATA_HOME/zarn4/registry.db, with ~/.local/share standing
// in for an unset (or relative) XDG_DATA_HOME.
std::string RegistryFilePath();

// Opens the store, creating its folders, file and tables on first use; nullopt when the file
// cannot be opened or is not a store.
std::optional<Database> OpenRegistryStore();

}  // namespace zarn::platform::posix
