#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/sqlite.hpp"

namespace QuarloSandbox {

// Connections to one database, lent to one request at a time. A file database gets as many
// connections as requests run at once (SQLite's WAL lets readers and one writer work side by
// side); an in-memory database lives inside its single connection, so requests take turns.
class ConnectionPool {
 public:
  // path ":memory:" (or "") is a private in-memory database.
  explicit ConnectionPool(std::string path);

  // A connection for the lease's lifetime; returned to the pool when the lease ends.
  class Lease {
   public:
    Lease(ConnectionPool& pool, std::unique_ptr<Connection> connection);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Connection& operator*() const { return *connection_; }
    Connection* operator->() const { return connection_.get(); }

   private:
    ConnectionPool& pool_;
    std::unique_ptr<Connection> connection_;
  };

  Lease Acquire();
  const std::string& Path() const { return path_; }
  bool InMemory() const { return path_ == ":memory:"; }

 private:
  void Release(std::unique_ptr<Connection> connection);

  std::string path_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<Connection>> idle_;
  std::size_t open_ = 0;
};

}  // namespace QuarloSandbox
