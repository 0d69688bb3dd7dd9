#include "run_thread.h"

#include <system_error>
#include <utility>

#include "messages.h"

namespace slimtag {

class RunThread::QueuedHost final : public RunHost {
 public:
  QueuedHost(QObject& context, RunHost& host) : context_(context), host_(host) {}

  void PageStarted(const std::string& name) override {
    Post([&host = host_, name] { host.PageStarted(name); });
  }
  void PageDone(const std::string& name, std::int64_t size_before,
                std::int64_t size_after) override {
    Post([&host = host_, name, size_before, size_after] {
      host.PageDone(name, size_before, size_after);
    });
  }
  void RunFinished(const RunResult& result) override {
    Post([&host = host_, result] { host.RunFinished(result); });
  }

 private:
  // Queued calls die with their context: a window gone drops what its run still tells.
  template <typename Call>
  void Post(Call call) {
    QMetaObject::invokeMethod(&context_, std::move(call), Qt::QueuedConnection);
  }

  QObject& context_;
  RunHost& host_;
};

RunThread::RunThread(Optimiser& optimiser, QObject& context, RunHost& host)
    : optimiser_(optimiser), queued_(std::make_unique<QueuedHost>(context, host)) {}

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
        [this, request = std::move(request)] { optimiser_.RunOptimisation(request, *queued_); });
  } catch (const std::system_error& error) {
    // No thread for the run: it ends as a failed run does, told as its end is, so that the
    // window takes the user's input again.
    RunResult result;
    result.outcome = RunOutcome::kFailed;
    result.icon = MessageIcon::kWarning;
    result.failure = RunFailure(folder, error);
    result.message = FailureText(*result.failure, names);
    queued_->RunFinished(result);
  }
}

void RunThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace slimtag
