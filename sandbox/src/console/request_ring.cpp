#include "console/request_ring.hpp"

namespace QuarloSandbox {

void RequestRing::Record(std::string method, std::string operation, int status,
                         std::chrono::steady_clock::duration took) {
  RequestRecord record;
  record.at = std::chrono::system_clock::now();
  record.method = std::move(method);
  record.operation = std::move(operation);
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
