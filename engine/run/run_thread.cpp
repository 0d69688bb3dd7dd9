#include "run_thread.h"

#include <system_error>
#include <utility>

#include "messages.h"

namespace slimtag {

RunThread::~RunThread() {
  RequestStop();
  Join();
}

void RunThread::Start(RunRequest request) {
  Join();
  stop_ = false;
  request.stop = &stop_;
  const std::string folder = request.folder;
  const NameStyle names = request.names;
  try {
    thread_ = std::thread(
        [this, request = std::move(request)] { optimiser_.RunOptimisation(request, host_); });
  } catch (const std::system_error& error) {
    // No thread for the run: it ends as a failed run does, told as its end is, so that a
    // front end waiting for the end (the window, its input dropped) goes on.
    RunResult result;
    result.outcome = RunOutcome::kFailed;
    result.icon = MessageIcon::kWarning;
    result.failure = RunFailure(folder, error);
    result.message = FailureText(*result.failure, names);
    host_.RunFinished(result);
  }
}

void RunThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace slimtag
