#include "queued_host.h"

#include <utility>

namespace slimtag {

QueuedHost::QueuedHost(QObject& context, RunHost& host) : context_(context), host_(host) {
  frame_.setSingleShot(true);
  frame_.setInterval(kFrame);
  QObject::connect(&frame_, &QTimer::timeout, &context_, [this] { TellStarted(); });
}

void QueuedHost::PageStarted(const std::string& name) {
  {
    const std::lock_guard lock(mutex_);
    started_.assign(name);
    fresh_ = true;
    if (std::exchange(waiting_, true)) return;
  }
  // Queued before whatever the run tells after it.
  Post([this] { TellStarted(); });
}

bool QueuedHost::TakeStarted(std::string& name, bool keep_waiting) {
  const std::lock_guard lock(mutex_);
  const bool fresh = std::exchange(fresh_, false);
  if (fresh) name = started_;
  waiting_ = fresh && keep_waiting;
  return fresh;
}

void QueuedHost::TellStarted() {
  std::string name;
  if (!TakeStarted(name, true)) return;
  host_.PageStarted(name);
  frame_.start();
}

void QueuedHost::RunFinished(const RunResult& result) {
  Post([this, result] {
    // The title names the last page started when the end is shown.
    frame_.stop();
    std::string name;
    if (TakeStarted(name, false)) host_.PageStarted(name);
    host_.RunFinished(result);
  });
}

}  // namespace slimtag
