#pragma once

#include <atomic>
#include <thread>

#include "optimisation_run.h"
#include "run_host.h"

namespace slimtag {

// An Optimiser's run on a thread of its own, so that a front end's own thread goes on (the window
// paints meanwhile). The run reads nothing of its front end: it is given its request whole. The
// host is told on the run's thread; a front end with a thread of its own queues what it is told.
class RunThread {
 public:
  RunThread(Optimiser& optimiser, RunHost& host) : optimiser_(optimiser), host_(host) {}
  // Stops a run still going and waits for it.
  ~RunThread();
  RunThread(const RunThread&) = delete;
  RunThread& operator=(const RunThread&) = delete;

  // Starts the run; the one before it must have told its end.
  void Start(RunRequest request);
  // The run ends after the page in hand; safe to ask more than once, from any thread.
  void RequestStop() { stop_ = true; }
  // Waits for the thread to end: at once once the host has been told the run finished.
  void Join();

 private:
  Optimiser& optimiser_;
  RunHost& host_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace slimtag
