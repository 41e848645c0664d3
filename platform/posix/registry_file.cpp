// The registry store's file: its location, and the tables created on first use.
//
// The file is a SQLite database in write-ahead-log mode, so that a process killed in the middle
// of a write leaves the last committed state behind, and readers never wait for a writer.
// Writers that meet another writer wait (busy timeout) instead of failing. Commits are synced
// to disk (synchronous=FULL): settings are written rarely, and the update time written just
// before the program ends must survive a power cut.
#include "platform/posix/registry_file.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zarn::platform::posix {

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr int kSchemaVersion = 1;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER,
  name TEXT NOT NULL COLLATE NOCASE,
  UNIQUE(parent, name));
CREATE TABLE IF NOT EXISTS reg_values(
  key INTEGER NOT NULL,
  name TEXT NOT NULL COLLATE NOCASE,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key, name));
INSERT OR IGNORE INTO reg_keys(id, parent, name) VALUES
  (1, NULL, 'HKEY_CLASSES_ROOT'), (2, NULL, 'HKEY_CURRENT_USER'), (3, NULL, 'HKEY_LOCAL_MACHINE');
PRAGMA user_version = 1;
)sql";

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return found->pw_dir;
  }
  return ".";
}

// Creates every missing folder above the file (private to the user, as data folders are).
void CreateParentFolders(const std::string& file) {
  for (std::size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    const std::string folder = file.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
  }
}

int UserVersion(Database& db) {
  Statement query = db.Prepare("PRAGMA user_version");
  return query.Next() == Statement::Step::kRow ? static_cast<int>(query.ColumnInt(0)) : -1;
}

bool CreateTables(Database& db) {
  // The journal mode is a property of the file; switching needs no other connection inside it.
  if (!db.Execute("PRAGMA journal_mode = WAL")) return false;
  Transaction transaction(db, Transaction::Kind::kWrite);
  if (!transaction.started()) return false;
  // Another process may have created the tables while we waited for the write lock.
  if (UserVersion(db) >= kSchemaVersion) return true;
  return db.Execute(kSchema) && transaction.Commit();
}

}  // namespace

std::string DataHomeFolder() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  return data_home != nullptr && data_home[0] == '/' ? std::string(data_home)
                                                     : HomeFolder() + "/.local/share";
}

std::string RegistryFilePath() {
  if (const char* path = std::getenv("ZARN4_REGISTRY"); path != nullptr && *path != '\0') {
    return path;
  }
  return DataHomeFolder() + "/zarn4/registry.db";
}

std::optional<Database> OpenRegistryStore() {
  const std::string path = RegistryFilePath();
  CreateParentFolders(path);
  std::optional<Database> db = Database::Open(path, kBusyTimeoutMs);
  if (!db) return std::nullopt;
  const int version = UserVersion(*db);
  if (version < 0) return std::nullopt;  // not a database, or unreadable
  if (version < kSchemaVersion && !CreateTables(*db)) return std::nullopt;
  if (!db->Execute("PRAGMA synchronous = FULL")) return std::nullopt;
  // Every registry call opens the store and closes it again: a checkpoint at each close would
  // sync the database and remove and re-create the log, three more syncs per call. Commits are
  // still synced to the log, so nothing committed is lost.
  db->KeepLogOnClose();
  return db;
}

}  // namespace zarn::platform::posix
