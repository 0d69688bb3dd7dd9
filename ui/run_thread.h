#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>

#include "optimisation_run.h"
#include "run_host.h"

namespace slimtag {

// An Optimiser's run on a thread of its own, so that the thread of the window goes on painting.
// The run reads nothing of the window: it is given its request whole. What it tells reaches the
// host queued on the thread of context, in the order it was told, and only while context lives.
class RunThread {
 public:
  RunThread(Optimiser& optimiser, QObject& context, RunHost& host);
  // Stops a run still going and waits for it.
  ~RunThread();
  RunThread(const RunThread&) = delete;
  RunThread& operator=(const RunThread&) = delete;

  // Starts the run; the one before it must have told its end.
  void Start(RunRequest request);
  // The run ends after the page in hand; safe to ask more than once.
  void RequestStop() { stop_ = true; }
  // Waits for the thread to end: at once once the host has been told the run finished.
  void Join();

 private:
  class QueuedHost;

  Optimiser& optimiser_;
  std::unique_ptr<QueuedHost> queued_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace slimtag
