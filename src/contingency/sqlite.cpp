#include "contingency/sqlite.hpp"

#include <quarlo/error.hpp>

namespace QuarloCliente::detail {

namespace {

// Long enough for another process's transaction (a stamp takes milliseconds) to end.
constexpr int kBusyTimeoutMs = 30000;

}  // namespace

void ThrowSqlite(sqlite3* db, int code, std::string_view what) {
  std::string text =
      "Bandeja de salida: " + std::string(what) + " (SQLite " + std::to_string(code) + ": ";
  text += db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  throw Error(text + ")");
}

SqliteDb::SqliteDb(const std::string& path) {
  sqlite3* raw = nullptr;
  const int code =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  db_.reset(raw);
  if (code != SQLITE_OK) ThrowSqlite(raw, code, "no se pudo abrir '" + path + "'");
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
}

void SqliteDb::Execute(const char* sql) {
  const int code = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) ThrowSqlite(db_.get(), code, "falló una orden de la base de datos");
}

std::int64_t SqliteDb::QueryInteger(const char* sql) {
  SqliteStatement statement(*this, sql);
  return statement.Step() ? statement.Integer(0) : 0;
}

SqliteStatement::SqliteStatement(const SqliteDb& db, const char* sql) : db_(db.Handle()) {
  const int code = sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr);
  if (code != SQLITE_OK) ThrowSqlite(db_, code, "no se pudo preparar una consulta");
}

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
  const int code = sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                                     SQLITE_TRANSIENT);
  if (code != SQLITE_OK) ThrowSqlite(db_, code, "no se pudo asociar un valor");
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t number) {
  const int code = sqlite3_bind_int64(statement_, index, number);
  if (code != SQLITE_OK) ThrowSqlite(db_, code, "no se pudo asociar un valor");
  return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, const Bytes& bytes) {
  // A zero-length blob is still a blob, not NULL.
  const int code = bytes.empty()
                       ? sqlite3_bind_zeroblob(statement_, index, 0)
                       : sqlite3_bind_blob(statement_, index, bytes.data(),
                                           static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  if (code != SQLITE_OK) ThrowSqlite(db_, code, "no se pudo asociar un valor");
  return *this;
}

bool SqliteStatement::Step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  ThrowSqlite(db_, code, "falló una consulta a la base de datos");
}

void SqliteStatement::Run() {
  while (Step()) {
  }
}

std::string SqliteStatement::Text(int column) const {
  const auto* text = sqlite3_column_text(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
              : std::string();
}

std::int64_t SqliteStatement::Integer(int column) const {
  return sqlite3_column_int64(statement_, column);
}

Bytes SqliteStatement::Blob(int column) const {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
  const int size = sqlite3_column_bytes(statement_, column);
  return data ? Bytes(data, data + size) : Bytes();
}

bool SqliteStatement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

SqliteWriteTransaction::SqliteWriteTransaction(SqliteDb& db) : db_(db) {
  db_.Execute("BEGIN IMMEDIATE");
}

SqliteWriteTransaction::~SqliteWriteTransaction() {
  if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteWriteTransaction::Commit() {
  db_.Execute("COMMIT");
  open_ = false;
}

}  // namespace QuarloCliente::detail
