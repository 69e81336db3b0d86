#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace QuarloSandbox {

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// One open SQLite connection, set up for the sandbox: WAL for a file, foreign keys on, full
// fsync on commit, and a busy timeout so that writers on other connections wait instead of
// failing.
class Connection {
 public:
  // Opens (creating when absent) the database at path; ":memory:" is a private in-memory
  // database. Throws SandboxError(500, ...) when it cannot be opened or set up.
  explicit Connection(const std::string& path);

  // Runs one or more statements that take no parameters and return no rows.
  void Execute(std::string_view sql);
  sqlite3* Handle() const { return db_.get(); }

  // A prepared statement on loan: from the connection's cache when it holds one for the text
  // that is not in use, else prepared for this use alone (`cached` null). Preparing costs more
  // than running most of the sandbox's statements.
  struct Cached {
    std::unique_ptr<sqlite3_stmt, SqliteFinalizer> statement;
    bool lent = false;
  };
  struct Loan {
    sqlite3_stmt* statement = nullptr;
    Cached* cached = nullptr;
  };
  Loan Borrow(std::string_view sql);
  // Resets a cached statement for the next use, finalizes one that is not cached.
  static void Return(const Loan& loan);

 private:
  std::unique_ptr<sqlite3, SqliteCloser> db_;
  // Declared after db_, so that the statements are finalized before the connection closes.
  std::unordered_map<std::string, Cached> cache_;
};

// One prepared statement; parameters are bound by 1-based position.
class Statement {
 public:
  Statement(Connection& connection, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, std::int64_t number);
  Statement& BindNull(int index);

  // Steps once: true while a row is available.
  bool Step();
  // Steps until done; for statements that return no rows.
  void Run();

  std::string Text(int column) const;
  std::int64_t Integer(int column) const;
  bool IsNull(int column) const;

 private:
  sqlite3* db_;
  Connection::Loan loan_;
  sqlite3_stmt* statement_;
};

// A transaction that rolls back unless committed. A write transaction starts with BEGIN
// IMMEDIATE, so that it takes the write lock at once and two writers never deadlock upgrading
// read locks.
class Transaction {
 public:
  enum class Kind { Read, Write };
  Transaction(Connection& connection, Kind kind);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit();

 private:
  Connection& connection_;
  bool open_ = true;
};

// The id of the row the connection inserted last.
std::int64_t LastInsertId(const Connection& connection);

}  // namespace QuarloSandbox
