// A thin RAII layer over SQLite for the registry store: a connection, prepared statements and a
// transaction that rolls back unless committed. Internal to the POSIX back end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace zarn::platform::posix {

class Statement;

class Database {
 public:
  // Opens (creating) the database file; nullopt when it cannot be opened.
  static std::optional<Database> Open(const std::string& path, int busy_timeout_ms);

  Database(Database&&) noexcept = default;
  Database& operator=(Database&&) noexcept = default;
  ~Database() = default;

  // Runs statements that return no rows; false on failure.
  bool Execute(const char* sql);
  // Leaves the write-ahead log in place when the last connection closes instead of copying it
  // into the database there and then; SQLite copies it when it has grown (every 1000 pages).
  bool KeepLogOnClose();
  // A prepared statement; its is_valid() is false when the text does not compile.
  Statement Prepare(const char* sql);
  // Rows changed by the last statement, and the row id of the last insert.
  int Changes() const;
  std::int64_t LastInsertId() const;

 private:
  struct Closer {
    void operator()(sqlite3* db) const;
  };
  explicit Database(sqlite3* db) : db_(db) {}
  std::unique_ptr<sqlite3, Closer> db_;
};

class Statement {
 public:
  enum class Step { kRow, kDone, kError };

  bool is_valid() const { return stmt_ != nullptr; }

  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, std::span<const std::uint8_t> bytes);

  Step Next();
  // Runs a statement that returns no rows (or ignores them); false on failure.
  bool Run();

  std::int64_t ColumnInt(int column) const;
  std::string ColumnText(int column) const;
  std::vector<std::uint8_t> ColumnBlob(int column) const;

 private:
  friend class Database;
  struct Finalizer {
    void operator()(sqlite3_stmt* stmt) const;
  };
  explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
  std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
  bool bind_failed_ = false;
};

// BEGIN IMMEDIATE on construction, ROLLBACK on destruction unless Commit succeeded. Writers
// take the write lock at the start so that two processes never deadlock upgrading read locks.
class Transaction {
 public:
  enum class Kind { kRead, kWrite };
  Transaction(Database& db, Kind kind);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool started() const { return started_; }
  bool Commit();

 private:
  Database& db_;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace zarn::platform::posix
