// A process killed at any moment of a page's backup and replacement: afterwards, once the next
// run has looked at the folder, the page holds exactly its old or its new content, the backup
// folder never holds a part of a page under the page's name, and nothing is left beside the page.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "fake_platform.h"
#include "posix/posix_platform.h"
#include "posix/step_hook.h"
#include "run/platform.h"

namespace slimtag {
namespace {

using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;
namespace fs = std::filesystem;

// Pages large enough that each step of a replacement takes a while.
const std::string kOld = [] {
  std::string s;
  while (s.size() < (std::size_t(6) << 20)) s += "old line of the page, before the run\r\n";
  return s;
}();
const std::string kNew = std::string(std::size_t(4) << 20, 'n');

// Where the child is killed: nowhere, after a time, or at a moment of the replacement.
std::optional<posix::Step> kill_at;

// Backs up and replaces the page, then ends the process.
[[noreturn]] void ReplaceInChild(const std::string& folder, const std::string& backup) {
  try {
    if (kill_at) {
      posix::SetStepHook([](posix::Step step) {
        if (step == *kill_at) ::raise(SIGKILL);
      });
    }
    PosixPlatform platform;
    platform.BeginRun();
    auto pages = platform.OpenFolder(folder, nullptr, true);
    auto backups = platform.OpenSubFolder(*pages, backup, nullptr, false);
    platform.UseTempFile("slimtag.tmp");
    auto opened = platform.OpenPage(*pages, "a.htm");
    opened->BackUpTo(*backups, "a.htm");
    auto content = opened->StartNewContent();
    content->Writer().Write(kNew);
    content->FinishWriting();
    platform.Replace(std::move(opened), std::move(content));
    platform.CommitReplacements();
    platform.EndRun();
  } catch (...) {
    ::_exit(1);
  }
  ::_exit(0);
}

struct Outcome {
  bool finished;                     // the child was done before the kill
  bool killed;                       // the kill ended it
  std::chrono::microseconds took{};  // from the child's start to its end
  std::string page;
  std::vector<Recovery> completed;  // what the next run found
};

// One replacement in a fresh folder, killed after delay (none: let it finish).
Outcome KillAfter(std::chrono::microseconds delay, bool several_names, bool wait) {
  ScratchDir dir;
  const std::string page = dir.Page("a.htm");
  const std::string backup_folder = dir.Page("~backup");
  WriteFile(page, kOld);
  fs::create_directory(backup_folder);
  if (several_names) fs::create_hard_link(page, dir.Root() + "/second.htm");
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) ReplaceInChild(dir.Pages(), "~backup");
  if (!wait) {
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  Outcome outcome;
  outcome.took = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  outcome.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;

  PosixPlatform next_run;
  outcome.completed = next_run.RecoverFolder(*next_run.OpenFolder(dir.Pages(), nullptr, true));
  outcome.page = ReadFile(page);
  for (const auto& entry : fs::directory_iterator(dir.Pages())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "a.htm" || name == "~backup") << name << " left beside the page";
  }
  if (fs::exists(backup_folder + "/a.htm")) {
    EXPECT_TRUE(ReadFile(backup_folder + "/a.htm") == kOld) << "a backup copy is whole";
  }
  if (several_names) {
    EXPECT_TRUE(ReadFile(dir.Root() + "/second.htm") == outcome.page) << "one file, two names";
  }
  return outcome;
}

class KilledReplacement : public ::testing::TestWithParam<bool> {};

TEST_P(KilledReplacement, LeavesThePageOldOrNewAndNothingBeside) {
  const bool several_names = GetParam();
  kill_at.reset();
  const Outcome whole = KillAfter({}, several_names, true);
  ASSERT_TRUE(whole.finished);
  ASSERT_TRUE(whole.page == kNew);
  const auto span = whole.took;

  // Killed at each moment of its path, where the outcome is known.
  struct Moment {
    posix::Step step;
    bool in_own_file;  // a moment of that path only
    bool page_new;     // after the next run has looked at the folder
  };
  constexpr Moment kMoments[] = {
      {posix::Step::kBatchDurable, false, false},
      {posix::Step::kRecoveryDurable, true, true},
      {posix::Step::kHalfWritten, true, true},
      {posix::Step::kBeforeTruncation, true, true},
  };
  int cut = 0;
  for (const Moment& m : kMoments) {
    if (m.in_own_file != several_names) continue;
    SCOPED_TRACE("killed at step " + std::to_string(static_cast<int>(m.step)));
    kill_at = m.step;
    const Outcome o = KillAfter({}, several_names, true);
    EXPECT_TRUE(o.killed) << "the child reached the moment";
    EXPECT_TRUE(o.page == (m.page_new ? kNew : kOld));
    EXPECT_EQ(o.completed.size(), m.in_own_file ? 1u : 0u) << "the next run completes it";
    cut += o.killed;
  }
  EXPECT_GE(cut, 1) << "the path was cut in the middle";

  // And at any moment at all.
  kill_at.reset();
  std::mt19937 random(20261208);
  for (int round = 0; round < 40; ++round) {
    // A little past the span, so that some children get to finish.
    const std::chrono::microseconds delay(random() % (span.count() * 11 / 10 + 1));
    SCOPED_TRACE("killed after " + std::to_string(delay.count()) + " µs");
    const Outcome o = KillAfter(delay, several_names, false);
    const bool is_old = o.page == kOld;
    const bool is_new = o.page == kNew;
    EXPECT_TRUE(is_old || is_new) << "a page of " << o.page.size() << " bytes, neither";
    for (const Recovery& r : o.completed) {
      EXPECT_TRUE(is_new) << "a completed page holds the new content";
      EXPECT_EQ(r.kept_as, "") << "nobody changed the page in between";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, KilledReplacement, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "InItsOwnFile" : "ByRename"; });

}  // namespace
}  // namespace slimtag
