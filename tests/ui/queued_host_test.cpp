// What a run tells on its own thread, as the window's thread hears it.

#include "queued_host.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <string>
#include <thread>
#include <vector>

namespace slimtag {
namespace {

class Recorder : public RunHost {
 public:
  void PageStarted(const std::string& name) override { told.push_back("started " + name); }
  void PageDone(const std::string& name, std::int64_t /*before*/, std::int64_t /*after*/) override {
    told.push_back("done " + name);
  }
  void RunFinished(const RunResult& /*result*/) override { told.push_back("finished"); }

  std::vector<std::string> told;
};

// Counts the calls queued to an object.
class QueuedCalls : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    count += event->type() == QEvent::MetaCall;
    return false;
  }
};

TEST(QueuedHost, PagesStartedWithinAFrameAreToldAsTheLastOfThemAndTheEndAfterIt) {
  QObject context;
  Recorder window;
  QueuedHost queued(context, window);
  std::thread run([&queued] {
    for (int i = 0; i < 1000; ++i) {
      const std::string name = "page" + std::to_string(i);
      queued.PageStarted(name);
      queued.PageDone(name, 10, 5);
    }
    queued.RunFinished(RunResult{});
  });
  run.join();
  EXPECT_TRUE(window.told.empty()) << "told on the window's thread only";
  QCoreApplication::processEvents();
  EXPECT_EQ(window.told, (std::vector<std::string>{"started page999", "finished"}));

  // The next run's first page is told at once; those started within the frame after it once the
  // frame is over, as the last of them.
  window.told.clear();
  QueuedCalls calls;
  context.installEventFilter(&calls);
  queued.PageStarted("a");
  QCoreApplication::processEvents();
  EXPECT_EQ(window.told, std::vector<std::string>{"started a"});
  queued.PageStarted("b");
  queued.PageStarted("c");
  QCoreApplication::processEvents();
  EXPECT_EQ(calls.count, 1) << "the window's thread is not woken within the frame";
  ASSERT_TRUE(QTest::qWaitFor([&window] { return window.told.size() == 2; }));
  queued.RunFinished(RunResult{});
  QCoreApplication::processEvents();
  EXPECT_EQ(window.told, (std::vector<std::string>{"started a", "started c", "finished"}));
}

}  // namespace
}  // namespace slimtag
