// SQLite connection, statements and transactions for the registry store.
#include "platform/posix/sqlite_db.h"

#include <sqlite3.h>
#include <time.h>

#include <cstdint>

namespace zarn::platform::posix {

namespace {

// Retries a locked database every millisecond until the timeout (in milliseconds, carried in the
// context pointer) is used up. SQLite's own busy timeout backs off to 100 ms between tries, which
// makes writers that meet each other wait far longer than the other's write takes.
int RetryWhileBusy(void* context, int tries) {
  const auto timeout_ms = reinterpret_cast<std::intptr_t>(context);
  if (tries >= timeout_ms) return 0;
  const struct timespec one_millisecond { 0, 1000000 };
  nanosleep(&one_millisecond, nullptr);
  return 1;
}

}  // namespace

void Database::Closer::operator()(sqlite3* db) const {
  sqlite3_close_v2(db);
}

std::optional<Database> Database::Open(const std::string& path, int busy_timeout_ms) {
  sqlite3* raw = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Database db(raw);  // owns the handle even when the open failed
  if (rc != SQLITE_OK) return std::nullopt;
  // Another process in the middle of a write makes us wait instead of failing at once.
  sqlite3_busy_handler(raw, RetryWhileBusy,
                       reinterpret_cast<void*>(std::intptr_t{busy_timeout_ms}));
  sqlite3_extended_result_codes(raw, 1);
  return db;
}

bool Database::Execute(const char* sql) {
  return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Database::KeepLogOnClose() {
  return sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr) == SQLITE_OK;
}

Statement Database::Prepare(const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
  }
  return Statement(stmt);
}

int Database::Changes() const {
  return sqlite3_changes(db_.get());
}

std::int64_t Database::LastInsertId() const {
  return sqlite3_last_insert_rowid(db_.get());
}

void Statement::Finalizer::operator()(sqlite3_stmt* stmt) const {
  sqlite3_finalize(stmt);
}

Statement& Statement::Bind(int index, std::int64_t value) {
  if (stmt_ && sqlite3_bind_int64(stmt_.get(), index, value) != SQLITE_OK) bind_failed_ = true;
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (stmt_ && sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                                   SQLITE_UTF8) != SQLITE_OK) {
    bind_failed_ = true;
  }
  return *this;
}

Statement& Statement::BindBlob(int index, std::span<const std::uint8_t> bytes) {
  // A zero-length blob is bound as such, not as NULL: an empty value is still a value.
  static const std::uint8_t kEmpty = 0;
  const void* data = bytes.empty() ? &kEmpty : bytes.data();
  if (stmt_ &&
      sqlite3_bind_blob64(stmt_.get(), index, data, bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK) {
    bind_failed_ = true;
  }
  return *this;
}

Statement::Step Statement::Next() {
  if (!stmt_ || bind_failed_) return Step::kError;
  switch (sqlite3_step(stmt_.get())) {
    case SQLITE_ROW:
      return Step::kRow;
    case SQLITE_DONE:
      return Step::kDone;
    default:
      return Step::kError;
  }
}

bool Statement::Run() {
  Step step;
  while ((step = Next()) == Step::kRow) {
  }
  return step == Step::kDone;
}

std::int64_t Statement::ColumnInt(int column) const {
  return sqlite3_column_int64(stmt_.get(), column);
}

std::string Statement::ColumnText(int column) const {
  const auto* text = sqlite3_column_text(stmt_.get(), column);
  const int size = sqlite3_column_bytes(stmt_.get(), column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
              : std::string();
}

std::vector<std::uint8_t> Statement::ColumnBlob(int column) const {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_.get(), column));
  const int size = sqlite3_column_bytes(stmt_.get(), column);
  return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
}

Transaction::Transaction(Database& db, Kind kind) : db_(db) {
  started_ = db_.Execute(kind == Kind::kWrite ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
  if (started_ && !finished_) db_.Execute("ROLLBACK");
}

bool Transaction::Commit() {
  if (!started_ || finished_) return false;
  finished_ = db_.Execute("COMMIT");
  return finished_;
}

}  // namespace zarn::platform::posix
