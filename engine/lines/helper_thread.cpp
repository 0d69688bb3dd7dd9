#include "helper_thread.h"

#include <system_error>
#include <utility>

namespace slimtag {

std::unique_ptr<HelperThread> HelperThread::Start() {
  if (std::thread::hardware_concurrency() < 2) return nullptr;
  std::unique_ptr<HelperThread> helper(new HelperThread);
  try {
    helper->thread_ = std::thread([raw = helper.get()] { raw->Loop(); });
  } catch (const std::system_error&) {
    return nullptr;  // a process at its limit of threads still runs, on one
  }
  return helper;
}

HelperThread::~HelperThread() {
  SetState(kQuit, posted_cv_);
  thread_.join();
}

void HelperThread::SetState(State state, std::condition_variable& woken) {
  state_.store(state, std::memory_order_release);
  // Taken, so that a side that saw the state before is asleep before it is told.
  { const std::lock_guard lock(mutex_); }
  woken.notify_one();
}

HelperThread::State HelperThread::AwaitState(State a, State b, std::condition_variable& woken,
                                             std::chrono::microseconds awake) {
  const auto reached = [&] {
    const State now = state_.load(std::memory_order_acquire);
    return now == a || now == b;
  };
  const auto until = std::chrono::steady_clock::now() + awake;
  while (!reached()) {
    if (std::chrono::steady_clock::now() >= until) {
      std::unique_lock lock(mutex_);
      woken.wait(lock, reached);
      break;
    }
    std::this_thread::yield();
  }
  return state_.load(std::memory_order_acquire);
}

void HelperThread::Post(std::function<void()> task) {
  task_ = std::move(task);
  SetState(kPosted, posted_cv_);
}

void HelperThread::Wait() {
  State posted = kPosted;
  if (state_.compare_exchange_strong(posted, kIdle, std::memory_order_acquire)) {
    // Not taken yet: done here at once rather than after the helper has woken.
    std::function<void()> task = std::move(task_);
    task();
    return;
  }
  AwaitState(kFinished, kFinished, finished_cv_, kAwakeForTask);
  state_.store(kIdle, std::memory_order_relaxed);
  task_ = nullptr;
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void HelperThread::Loop() {
  for (;;) {
    if (AwaitState(kPosted, kQuit, posted_cv_, kAwakeAfterTask) == kQuit) return;
    State posted = kPosted;
    // The owner may have taken the task back meanwhile.
    if (!state_.compare_exchange_strong(posted, kTaken, std::memory_order_acquire)) continue;
    try {
      task_();
    } catch (...) {
      error_ = std::current_exception();
    }
    SetState(kFinished, finished_cv_);
  }
}

}  // namespace slimtag
