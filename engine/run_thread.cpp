#include "run_thread.h"

#include <utility>

namespace slimtag {

RunThread::~RunThread() {
  RequestStop();
  Join();
}

void RunThread::Start(RunRequest request) {
  Join();
  stop_ = false;
  request.stop = &stop_;
  thread_ = std::thread(
      [this, request = std::move(request)] { optimiser_.RunOptimisation(request, host_); });
}

void RunThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace slimtag
