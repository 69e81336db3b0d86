#include "store/group_commit.hpp"

#include "store/store.hpp"

namespace QuarloSandbox {

namespace {

// Enough to share a disk write among every worker of a busy sandbox; a bound, so that a leader
// does not keep writing for others while its own answer waits.
constexpr std::size_t kLargestBatch = 64;

}  // namespace

void GroupCommit::Run(const std::function<void(StoreTx&)>& work) {
  Job job;
  job.work = &work;
  std::unique_lock lock(mutex_);
  queued_.push_back(&job);
  while (!job.done) {
    if (leading_) {
      finished_.wait(lock);
    } else {
      Lead(lock);
    }
  }
  if (job.failure) std::rethrow_exception(job.failure);
}

void GroupCommit::Lead(std::unique_lock<std::mutex>& lock) {
  leading_ = true;
  std::deque<Job*> batch;
  while (!queued_.empty() && batch.size() < kLargestBatch) {
    batch.push_back(queued_.front());
    queued_.pop_front();
  }
  lock.unlock();
  WriteBatch(batch);
  lock.lock();
  for (Job* job : batch) job->done = true;
  leading_ = false;
  finished_.notify_all();
}

void GroupCommit::WriteBatch(const std::deque<Job*>& batch) {
  try {
    auto lease = pool_.Acquire();
    Transaction transaction(*lease, Transaction::Kind::Write);
    StoreTx tx(*lease);
    for (Job* job : batch) {
      Statement(*lease, "SAVEPOINT job").Run();
      try {
        (*job->work)(tx);
      } catch (...) {
        job->failure = std::current_exception();
        Statement(*lease, "ROLLBACK TO job").Run();
      }
      Statement(*lease, "RELEASE job").Run();
    }
    transaction.Commit();
  } catch (...) {
    // Nothing of the batch was stored: the jobs that had succeeded fail with the reason.
    for (Job* job : batch) {
      if (!job->failure) job->failure = std::current_exception();
    }
  }
}

}  // namespace QuarloSandbox
