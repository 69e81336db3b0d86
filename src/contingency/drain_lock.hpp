#pragma once

#include <string>

namespace QuarloCliente::detail {

// The lock one drain of an outbox file holds, on a file beside it: however many objects and
// processes share the outbox, one drain at a time delivers. The kernel drops it when its holder
// dies, so an attempt found started and unfinished under it belongs to a drain that is gone and
// can be settled at once.
class DrainLock {
 public:
  explicit DrainLock(const std::string& outbox);
  ~DrainLock();
  DrainLock(const DrainLock&) = delete;
  DrainLock& operator=(const DrainLock&) = delete;

  // Holds the lock for its lifetime: waits until no other drain holds it, then takes it;
  // throws Error when it cannot.
  class Hold {
   public:
    explicit Hold(DrainLock& lock) : lock_(lock) { lock_.Acquire(); }
    ~Hold() { lock_.Release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    DrainLock& lock_;
  };

 private:
  void Acquire();
  void Release();

  std::string path_;
  int fd_ = -1;
};

}  // namespace QuarloCliente::detail
