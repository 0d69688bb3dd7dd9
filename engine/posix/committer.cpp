#include "committer.h"

#include <utility>

namespace slimtag::posix {

Committer::~Committer() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Committer::Run(std::function<void()>& job) {
  std::exception_ptr failure;
  try {
    job();
  } catch (...) {
    failure = std::current_exception();
  }
  job = nullptr;  // the job's own things are released here, on this thread
  const std::lock_guard lock(mutex_);
  if (failure) {
    failure_ = failure;
    failed_.store(true, std::memory_order_release);
  }
  busy_ = false;
  changed_.notify_all();
}

void Committer::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stopping_; });
    if (!busy_) return;
    std::function<void()> job = std::move(job_);
    lock.unlock();
    Run(job);
    lock.lock();
  }
}

void Committer::Post(std::function<void()> job) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  busy_ = true;
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Loop(); });
    } catch (...) {
      // No thread to be had (none left, or no memory for one): the caller does the job.
      lock.unlock();
      Run(job);
      return;
    }
  }
  job_ = std::move(job);
  lock.unlock();
  changed_.notify_all();
}

void Committer::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
}

bool Committer::Idle() const {
  const std::lock_guard lock(mutex_);
  return !busy_;
}

std::exception_ptr Committer::TakeFailure() {
  const std::lock_guard lock(mutex_);
  failed_.store(false, std::memory_order_release);
  return std::exchange(failure_, nullptr);
}

}  // namespace slimtag::posix
