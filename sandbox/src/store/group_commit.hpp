#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

#include "store/pool.hpp"

namespace QuarloSandbox {

class StoreTx;

// Write transactions of many threads committed together. A thread that finds no batch being
// written leads one: it runs its own job and those queued behind it, each inside a savepoint of
// one shared transaction, and commits once for all of them. On a file that is one synchronous
// write to disk for the whole batch, where a transaction per request made the disk's write rate
// the sandbox's limit; every job still returns only after the commit that made it durable, and a
// job that fails is rolled back alone.
class GroupCommit {
 public:
  explicit GroupCommit(ConnectionPool& pool) : pool_(pool) {}

  // Runs the job in a write transaction and returns once it is committed; throws what the job
  // threw (its writes undone) or the failure of the commit.
  void Run(const std::function<void(StoreTx&)>& work);

 private:
  struct Job {
    const std::function<void(StoreTx&)>* work = nullptr;
    std::exception_ptr failure;
    bool done = false;
  };

  void Lead(std::unique_lock<std::mutex>& lock);
  void WriteBatch(const std::deque<Job*>& batch);

  ConnectionPool& pool_;
  std::mutex mutex_;
  std::condition_variable finished_;
  std::deque<Job*> queued_;
  bool leading_ = false;
};

}  // namespace QuarloSandbox
