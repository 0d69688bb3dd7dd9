#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <mutex>
#include <string>

#include "run/run_host.h"

namespace slimtag {

// What a run tells on its own thread that the window shows, queued to the thread of context and
// told there to host, in the order it was told, and only while context lives. A page started
// goes to the title, which no screen shows more often than once a frame: the first of a run of
// pages is told at once, those after it once a frame, the page in hand each time, and the last
// before the end. A run of small pages thus wakes the window's thread some sixty times a second,
// not once a page. A page done shows nothing until the end.
class QueuedHost final : public RunHost {
 public:
  static constexpr std::chrono::milliseconds kFrame{16};

  QueuedHost(QObject& context, RunHost& host);

  void PageStarted(const std::string& name) override;
  void RunFinished(const RunResult& result) override;

 private:
  // Queued calls die with their context: a window gone drops what its run still tells.
  template <typename Call>
  void Post(Call call) {
    QMetaObject::invokeMethod(&context_, std::move(call), Qt::QueuedConnection);
  }
  // On the context's thread: tells the page started last unless it was told, and then waits a
  // frame before the next; with nothing new, the next page started is told at once again.
  void TellStarted();
  // Whether a page started that was not told; takes its name.
  bool TakeStarted(std::string& name, bool keep_waiting);

  QObject& context_;
  RunHost& host_;
  QTimer frame_;  // on the context's thread
  std::mutex mutex_;
  std::string started_;   // the page started last
  bool fresh_ = false;    // started_ is not told yet
  bool waiting_ = false;  // a call to TellStarted is queued or a frame runs: the next page waits
};

}  // namespace slimtag
