#include "store/sqlite.hpp"

#include <limits>

#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

constexpr int kBusyTimeoutMs = 30000;
// The sandbox has a few dozen fixed statements; a search builds its own, which are not kept
// once the cache holds this many.
constexpr std::size_t kCachedStatements = 128;

[[noreturn]] void Fail(sqlite3* db, std::string_view what) {
  throw SandboxError(500, std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "sin memoria"));
}

int Length(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw SandboxError(413, "el valor es demasiado grande para el almacén");
  }
  return static_cast<int>(text.size());
}

}  // namespace

Connection::Connection(const std::string& path) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) Fail(raw, "no se pudo abrir la base de datos " + path);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  sqlite3_extended_result_codes(raw, 1);
  if (path != ":memory:") Execute("PRAGMA journal_mode=WAL");
  Execute("PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL");
}

void Connection::Execute(std::string_view sql) {
  char* message = nullptr;
  const std::string text(sql);
  if (sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string reason = message ? message : sqlite3_errmsg(db_.get());
    sqlite3_free(message);
    throw SandboxError(500, "error de la base de datos: " + reason);
  }
}

Connection::Loan Connection::Borrow(std::string_view sql) {
  const auto found = cache_.find(std::string(sql));
  if (found != cache_.end() && !found->second.lent) {
    found->second.lent = true;
    return Loan{found->second.statement.get(), &found->second};
  }
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v3(db_.get(), sql.data(), Length(sql), SQLITE_PREPARE_PERSISTENT, &raw,
                         nullptr) != SQLITE_OK) {
    Fail(db_.get(), "consulta inválida");
  }
  if (found != cache_.end() || cache_.size() >= kCachedStatements) return Loan{raw, nullptr};
  Cached& cached = cache_[std::string(sql)];
  cached.statement.reset(raw);
  cached.lent = true;
  return Loan{raw, &cached};
}

void Connection::Return(const Loan& loan) {
  if (loan.cached == nullptr) {
    sqlite3_finalize(loan.statement);
    return;
  }
  sqlite3_reset(loan.statement);
  sqlite3_clear_bindings(loan.statement);
  loan.cached->lent = false;
}

Statement::Statement(Connection& connection, std::string_view sql)
    : db_(connection.Handle()), loan_(connection.Borrow(sql)), statement_(loan_.statement) {}

Statement::~Statement() {
  Connection::Return(loan_);
}

Statement& Statement::Bind(int index, std::string_view text) {
  // An empty view may have no data pointer; SQLite would bind NULL for it.
  const char* data = text.data() != nullptr ? text.data() : "";
  if (sqlite3_bind_text(statement_, index, data, Length(text), SQLITE_TRANSIENT) != SQLITE_OK) {
    Fail(db_, "no se pudo enlazar un parámetro");
  }
  return *this;
}

Statement& Statement::Bind(int index, std::int64_t number) {
  if (sqlite3_bind_int64(statement_, index, number) != SQLITE_OK) {
    Fail(db_, "no se pudo enlazar un parámetro");
  }
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (sqlite3_bind_null(statement_, index) != SQLITE_OK) {
    Fail(db_, "no se pudo enlazar un parámetro");
  }
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(db_, "error de la base de datos");
}

void Statement::Run() {
  while (Step()) {
  }
}

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(statement_, column);
  if (text == nullptr) return {};
  const int size = sqlite3_column_bytes(statement_, column);
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
}

std::int64_t Statement::Integer(int column) const {
  return sqlite3_column_int64(statement_, column);
}

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

Transaction::Transaction(Connection& connection, Kind kind) : connection_(connection) {
  Statement(connection_, kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN").Run();
}

Transaction::~Transaction() {
  if (!open_) return;
  // Rolling back cannot be reported from a destructor; a failed rollback leaves SQLite to undo
  // the transaction when the connection is next used or closed.
  sqlite3_exec(connection_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
  Statement(connection_, "COMMIT").Run();
  open_ = false;
}

std::int64_t LastInsertId(const Connection& connection) {
  return sqlite3_last_insert_rowid(connection.Handle());
}

}  // namespace QuarloSandbox
