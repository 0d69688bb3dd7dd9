#pragma once

#include <QObject>

#include "run/run_host.h"

namespace slimtag {

// What a run tells on its own thread, queued to the thread of context and told there to host, in
// the order it was told, and only while context lives.
class QueuedHost final : public RunHost {
 public:
  QueuedHost(QObject& context, RunHost& host) : context_(context), host_(host) {}

  void PageStarted(const std::string& name) override;
  void PageDone(const std::string& name, std::int64_t size_before,
                std::int64_t size_after) override;
  void RunFinished(const RunResult& result) override;

 private:
  // Queued calls die with their context: a window gone drops what its run still tells.
  template <typename Call>
  void Post(Call call) {
    QMetaObject::invokeMethod(&context_, std::move(call), Qt::QueuedConnection);
  }

  QObject& context_;
  RunHost& host_;
};

}  // namespace slimtag
