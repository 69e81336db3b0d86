#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace QuarloSandbox {

// One request the sandbox answered, as the console lists it. Only the operation is kept, never
// the other path segments or the body, which may hold secrets.
struct RequestRecord {
  std::uint64_t number = 0;  // counts every request recorded, from 1
  std::chrono::system_clock::time_point at;
  std::string method;
  std::string operation;
  int status = 0;
  std::int64_t milliseconds = 0;
};

// The last requests the sandbox answered, for the console's live view: a ring of fixed capacity
// that drops the oldest. Safe to use from any thread.
class RequestRing {
 public:
  static constexpr std::size_t kDefaultCapacity = 200;

  explicit RequestRing(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // Keeps the request, numbered next; the oldest goes when the ring is full.
  void Record(std::string method, std::string operation, int status,
              std::chrono::steady_clock::duration took);
  // The requests kept, newest first.
  std::vector<RequestRecord> Newest() const;

 private:
  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::uint64_t recorded_ = 0;
  std::deque<RequestRecord> records_;
};

}  // namespace QuarloSandbox
