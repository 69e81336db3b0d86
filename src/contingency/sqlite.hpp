#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

// One SQLite connection to an existing or new file, with a busy timeout so that a writer on
// another connection or process is waited for instead of failing. Throws Error on failure.
class SqliteDb {
 public:
  explicit SqliteDb(const std::string& path);

  // Runs statements that take no parameters; rows are ignored.
  void Execute(const char* sql);
  // The single integer a query gives (PRAGMA user_version, a count).
  std::int64_t QueryInteger(const char* sql);
  sqlite3* Handle() const { return db_.get(); }

 private:
  std::unique_ptr<sqlite3, SqliteCloser> db_;
};

// Throws Error with what SQLite says about the connection's last failure.
[[noreturn]] void ThrowSqlite(sqlite3* db, int code, std::string_view what);

// One prepared statement; parameters bound by 1-based position, columns read by 0-based index.
class SqliteStatement {
 public:
  SqliteStatement(const SqliteDb& db, const char* sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  SqliteStatement& Bind(int index, std::string_view text);
  SqliteStatement& Bind(int index, std::int64_t number);
  SqliteStatement& BindBlob(int index, const Bytes& bytes);

  // Steps once: true while a row is available.
  bool Step();
  // Steps to the end, for statements that return no rows.
  void Run();

  std::string Text(int column) const;
  std::int64_t Integer(int column) const;
  Bytes Blob(int column) const;
  bool IsNull(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// A write transaction taken with BEGIN IMMEDIATE, so that two writers never both read and then
// both write; rolled back unless committed.
class SqliteWriteTransaction {
 public:
  explicit SqliteWriteTransaction(SqliteDb& db);
  ~SqliteWriteTransaction();
  SqliteWriteTransaction(const SqliteWriteTransaction&) = delete;
  SqliteWriteTransaction& operator=(const SqliteWriteTransaction&) = delete;

  void Commit();

 private:
  SqliteDb& db_;
  bool open_ = true;
};

}  // namespace QuarloCliente::detail
