#include "queued_host.h"

namespace slimtag {

void QueuedHost::PageStarted(const std::string& name) {
  Post([&host = host_, name] { host.PageStarted(name); });
}

void QueuedHost::PageDone(const std::string& name, std::int64_t size_before,
                          std::int64_t size_after) {
  Post([&host = host_, name, size_before, size_after] {
    host.PageDone(name, size_before, size_after);
  });
}

void QueuedHost::RunFinished(const RunResult& result) {
  Post([&host = host_, result] { host.RunFinished(result); });
}

}  // namespace slimtag
