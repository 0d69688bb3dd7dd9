#include "lines/helper_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>

namespace slimtag {
namespace {

// Whoever runs a task, the helper or the owner taking it back, its work is done once and what it
// throws reaches Wait: with the owner waiting at once, after a pause in which the helper has taken
// the task, and after one long enough for the helper to have gone to sleep.
TEST(HelperThread, EveryTaskIsDoneOnceAndItsFailureReachesWait) {
  const auto helper = HelperThread::Start();
  if (!helper) GTEST_SKIP() << "one core: the owner does all the work itself";
  std::mt19937 random(5);
  const std::chrono::microseconds pauses[] = {
      std::chrono::microseconds(0), std::chrono::microseconds(50),
      HelperThread::kAwakeAfterTask + std::chrono::microseconds(200)};
  int done = 0;
  for (int round = 0; round < 300; ++round) {
    const bool fails = random() % 3 == 0;
    const int before = done;
    helper->Post([&done, fails] {
      ++done;
      if (fails) throw std::runtime_error("the task's failure");
    });
    std::this_thread::sleep_for(pauses[random() % std::size(pauses)]);
    if (fails) {
      EXPECT_THROW(helper->Wait(), std::runtime_error) << "round " << round;
    } else {
      EXPECT_NO_THROW(helper->Wait()) << "round " << round;
    }
    EXPECT_EQ(done, before + 1) << "round " << round;
  }
}

}  // namespace
}  // namespace slimtag
