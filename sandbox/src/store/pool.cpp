#include "store/pool.hpp"

#include <utility>

#include "store/database_file.hpp"

namespace QuarloSandbox {

ConnectionPool::ConnectionPool(std::string path)
    : path_(path.empty() ? std::string(":memory:") : std::move(path)) {
  if (!InMemory()) MakeDatabaseFilesPrivate(path_);
  // The first connection is opened at once so that a bad path fails at start-up, and so that an
  // in-memory database exists for the whole life of the pool.
  idle_.push_back(std::make_unique<Connection>(path_));
  open_ = 1;
}

ConnectionPool::Lease::Lease(ConnectionPool& pool, std::unique_ptr<Connection> connection)
    : pool_(pool), connection_(std::move(connection)) {}

ConnectionPool::Lease::~Lease() {
  pool_.Release(std::move(connection_));
}

ConnectionPool::Lease ConnectionPool::Acquire() {
  std::unique_lock lock(mutex_);
  if (idle_.empty() && !InMemory()) {
    ++open_;
    lock.unlock();
    try {
      return Lease(*this, std::make_unique<Connection>(path_));
    } catch (...) {
      const std::lock_guard relock(mutex_);
      --open_;
      throw;
    }
  }
  returned_.wait(lock, [this] { return !idle_.empty(); });
  auto connection = std::move(idle_.back());
  idle_.pop_back();
  return Lease(*this, std::move(connection));
}

void ConnectionPool::Release(std::unique_ptr<Connection> connection) {
  if (!connection) return;
  {
    const std::lock_guard lock(mutex_);
    idle_.push_back(std::move(connection));
  }
  returned_.notify_one();
}

}  // namespace QuarloSandbox
