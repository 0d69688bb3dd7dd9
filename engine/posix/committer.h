#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace slimtag::posix {

// Runs jobs one after another on a thread of its own, one job at a time: a batch of pages is
// synced and renamed while the run prepares the next. What a job holds is released on that thread
// too, so closing the replaced pages (which frees their memory on tmpfs) costs the run nothing.
// Where no thread can be started, a job runs on the caller's thread instead.
class Committer {
 public:
  Committer() = default;
  ~Committer();  // the job in hand is finished first
  Committer(const Committer&) = delete;
  Committer& operator=(const Committer&) = delete;

  // Runs job once the job before it has ended.
  void Post(std::function<void()> job);
  // Waits until the job in hand, if any, has ended.
  void Wait();
  bool Idle() const;
  // A job ended in an exception that has not been taken yet.
  bool Failed() const { return failed_.load(std::memory_order_acquire); }
  // The exception a job ended in, once; null when none did. Call after Wait.
  std::exception_ptr TakeFailure();

 private:
  void Loop();
  void Run(std::function<void()>& job);  // with the lock not held

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool busy_ = false;  // a job posted and not yet ended
  bool stopping_ = false;
  std::atomic<bool> failed_{false};
  std::exception_ptr failure_;
  std::thread thread_;  // started with the first job
};

}  // namespace slimtag::posix
