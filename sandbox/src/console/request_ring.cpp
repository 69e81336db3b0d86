#include "console/request_ring.hpp"

#include "service/stamping.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::size_t kMaxOperationCharacters = 80;

}  // namespace

void RequestRing::Record(std::string method, std::string operation, int status,
                         std::chrono::steady_clock::duration took) {
  RequestRecord record;
  record.at = std::chrono::system_clock::now();
  record.method = std::move(method);
  // An unknown path names anything a client likes; a line of the list needs no more than this.
  record.operation = FirstCharacters(operation, kMaxOperationCharacters);
  record.status = status;
  record.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  const std::lock_guard lock(mutex_);
  record.number = ++recorded_;
  if (capacity_ == 0) return;
  if (records_.size() == capacity_) records_.pop_front();
  records_.push_back(std::move(record));
}

std::vector<RequestRecord> RequestRing::Newest() const {
  const std::lock_guard lock(mutex_);
  return {records_.rbegin(), records_.rend()};
}

}  // namespace QuarloSandbox
