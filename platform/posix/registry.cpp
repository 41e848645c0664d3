// The registry on POSIX: keys and values in the SQLite store of registry_file.cpp.
//
// Key paths and value names keep the letter case they were created with and are compared
// without it (ASCII letters, as the store's NOCASE collation folds them). Each call is one
// transaction of its own, so a value is either written whole or not at all, and an open key
// holds no lock between calls. A key object remembers its key's row; when another process
// deletes the key, later calls on the object fail as they do on Windows for a deleted key.
#include "platform/registry.h"

#include <optional>
#include <utility>

#include "platform/posix/registry_file.h"
#include "platform/posix/sqlite_db.h"

namespace zarn::platform {

namespace {

using posix::Database;
using posix::Statement;
using posix::Transaction;

// The limits of the Windows registry, kept so that a store written here can be exported there.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

std::int64_t RootId(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return 1;
    case RegistryRoot::kCurrentUser:
      return 2;
    case RegistryRoot::kLocalMachine:
      return 3;
  }
  return 0;
}

// Splits "A\B\C" into its names. One trailing backslash is allowed; an empty name anywhere else
// (a leading or doubled backslash) or a name too long makes the path invalid.
std::optional<std::vector<std::string_view>> SplitPath(std::string_view path) {
  std::vector<std::string_view> names;
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return names;
  for (;;) {
    const std::size_t slash = path.find('\\');
    const std::string_view name = path.substr(0, slash);
    if (name.empty() || name.size() > kMaxKeyNameLength) return std::nullopt;
    names.push_back(name);
    if (slash == std::string_view::npos) return names;
    path.remove_prefix(slash + 1);
  }
}

std::optional<std::int64_t> FindChild(Database& db, std::int64_t parent, std::string_view name) {
  Statement query = db.Prepare("SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
  query.Bind(1, parent).Bind(2, name);
  if (query.Next() != Statement::Step::kRow) return std::nullopt;
  return query.ColumnInt(0);
}

bool KeyExists(Database& db, std::int64_t id) {
  Statement query = db.Prepare("SELECT 1 FROM reg_keys WHERE id = ?1");
  query.Bind(1, id);
  return query.Next() == Statement::Step::kRow;
}

// Walks the path from the root inside the caller's transaction; nullopt when a key is missing.
std::optional<std::int64_t> FindKey(Database& db, RegistryRoot root,
                                    const std::vector<std::string_view>& names) {
  std::optional<std::int64_t> id = RootId(root);
  for (const std::string_view name : names) {
    id = FindChild(db, *id, name);
    if (!id) return std::nullopt;
  }
  return id;
}

class StoreKey final : public RegistryKey {
 public:
  StoreKey(Database db, std::int64_t id, Access access)
      : db_(std::move(db)), id_(id), access_(access) {}

  RegistryRead QueryValue(std::string_view name) override {
    RegistryRead result;
    Transaction transaction(db_, Transaction::Kind::kRead);
    if (!transaction.started()) return Failed();
    Statement query = db_.Prepare("SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
    query.Bind(1, id_).Bind(2, name);
    switch (query.Next()) {
      case Statement::Step::kRow:
        result.status = RegistryStatus::kOk;
        result.value.type =
            static_cast<RegistryType>(static_cast<std::uint32_t>(query.ColumnInt(0)));
        result.value.data = query.ColumnBlob(1);
        break;
      case Statement::Step::kDone:
        result.status = KeyExists(db_, id_) ? RegistryStatus::kMissing : RegistryStatus::kError;
        break;
      case Statement::Step::kError:
        return Failed();
    }
    transaction.Commit();
    return result;
  }

  bool SetValue(std::string_view name, RegistryType type,
                std::span<const std::uint8_t> data) override {
    if (access_ != Access::kAll || name.size() > kMaxValueNameLength) return false;
    Transaction transaction(db_, Transaction::Kind::kWrite);
    if (!transaction.started() || !KeyExists(db_, id_)) return false;
    // An existing value keeps its name's letter case and its place in the enumeration.
    Statement upsert = db_.Prepare(
        "INSERT INTO reg_values(key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
        "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    upsert.Bind(1, id_).Bind(2, name).Bind(3, static_cast<std::int64_t>(type)).BindBlob(4, data);
    return upsert.Run() && transaction.Commit();
  }

  bool DeleteValue(std::string_view name) override {
    if (access_ != Access::kAll) return false;
    Transaction transaction(db_, Transaction::Kind::kWrite);
    if (!transaction.started()) return false;
    Statement remove = db_.Prepare("DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
    remove.Bind(1, id_).Bind(2, name);
    if (!remove.Run()) return false;
    const bool removed = db_.Changes() > 0;
    return transaction.Commit() && removed;
  }

  std::vector<std::string> SubKeyNames() override {
    return Names("SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY name");
  }

  std::vector<std::string> ValueNames() override {
    return Names("SELECT name FROM reg_values WHERE key = ?1 ORDER BY rowid");
  }

 private:
  static RegistryRead Failed() {
    RegistryRead result;
    result.status = RegistryStatus::kError;
    return result;
  }

  std::vector<std::string> Names(const char* sql) {
    std::vector<std::string> names;
    Transaction transaction(db_, Transaction::Kind::kRead);
    if (!transaction.started()) return names;
    Statement query = db_.Prepare(sql);
    query.Bind(1, id_);
    while (query.Next() == Statement::Step::kRow) names.push_back(query.ColumnText(0));
    transaction.Commit();
    return names;
  }

  Database db_;
  std::int64_t id_;
  Access access_;
};

}  // namespace

std::unique_ptr<RegistryKey> RegistryKey::Open(RegistryRoot root, std::string_view path,
                                               Access access) {
  const auto names = SplitPath(path);
  if (!names) return nullptr;
  std::optional<Database> db = posix::OpenRegistryStore();
  if (!db) return nullptr;
  std::optional<std::int64_t> id;
  {
    Transaction transaction(*db, Transaction::Kind::kRead);
    if (!transaction.started()) return nullptr;
    id = FindKey(*db, root, *names);
    transaction.Commit();
  }
  if (!id) return nullptr;
  return std::make_unique<StoreKey>(std::move(*db), *id, access);
}

std::unique_ptr<RegistryKey> RegistryKey::Create(RegistryRoot root, std::string_view path) {
  const auto names = SplitPath(path);
  if (!names) return nullptr;
  std::optional<Database> db = posix::OpenRegistryStore();
  if (!db) return nullptr;
  std::int64_t id = RootId(root);
  {
    Transaction transaction(*db, Transaction::Kind::kWrite);
    if (!transaction.started()) return nullptr;
    for (const std::string_view name : *names) {
      if (const auto child = FindChild(*db, id, name)) {
        id = *child;
        continue;
      }
      Statement insert = db->Prepare("INSERT INTO reg_keys(parent, name) VALUES (?1, ?2)");
      insert.Bind(1, id).Bind(2, name);
      if (!insert.Run()) return nullptr;
      id = db->LastInsertId();
    }
    if (!transaction.Commit()) return nullptr;
  }
  return std::make_unique<StoreKey>(std::move(*db), id, Access::kAll);
}

bool RegistryKey::DeleteTree(RegistryRoot root, std::string_view path) {
  const auto names = SplitPath(path);
  if (!names || names->empty()) return false;  // a root cannot be deleted
  std::optional<Database> db = posix::OpenRegistryStore();
  if (!db) return false;
  Transaction transaction(*db, Transaction::Kind::kWrite);
  if (!transaction.started()) return false;
  const auto id = FindKey(*db, root, *names);
  if (!id) return false;
  const char* const kSubTree =
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
      "SELECT reg_keys.id FROM reg_keys JOIN tree ON reg_keys.parent = tree.id) ";
  Statement values = db->Prepare(
      (std::string(kSubTree) + "DELETE FROM reg_values WHERE key IN (SELECT id FROM tree)")
          .c_str());
  Statement keys = db->Prepare(
      (std::string(kSubTree) + "DELETE FROM reg_keys WHERE id IN (SELECT id FROM tree)").c_str());
  values.Bind(1, *id);
  keys.Bind(1, *id);
  return values.Run() && keys.Run() && transaction.Commit();
}

}  // namespace zarn::platform
