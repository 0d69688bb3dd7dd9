#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace slimtag {

// A thread beside its owner's that runs one task at a time for it: the owner posts a task, does
// its own share of the work and waits for the task before it touches what the task uses.
//
// Waking a sleeping thread takes tens of microseconds, as long as the passes take on a block of
// tens of kilobytes, so the helper waits awake for a while after each task for the next one, and
// an owner that is done with its share before the helper has taken the task does it itself.
class HelperThread {
 public:
  // A started helper, or nullptr where the processor has one core or no thread can be started:
  // the owner then does all the work itself.
  static std::unique_ptr<HelperThread> Start();
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Hands the helper a task; the one posted before must have been waited for.
  void Post(std::function<void()> task);
  // Until the posted task has finished, done here if the helper has not taken it yet; rethrows
  // what it threw.
  void Wait();

  // How long the helper stays awake for a next task, and the owner for the task taken.
  static constexpr std::chrono::microseconds kAwakeAfterTask{300};
  static constexpr std::chrono::microseconds kAwakeForTask{2000};

 private:
  enum State { kIdle, kPosted, kTaken, kFinished, kQuit };

  HelperThread() = default;
  void Loop();
  // Until the state is one of a and b (b: a again where none), awake for up to awake and then
  // asleep on woken; the state.
  State AwaitState(State a, State b, std::condition_variable& woken,
                   std::chrono::microseconds awake);
  void SetState(State state, std::condition_variable& woken);

  std::mutex mutex_;
  std::condition_variable posted_cv_, finished_cv_;
  std::atomic<State> state_{kIdle};
  std::function<void()> task_;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace slimtag
