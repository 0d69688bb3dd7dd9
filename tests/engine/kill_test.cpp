// A process killed at any moment of a page's backup and replacement: afterwards, once the next
// run has looked at the folder, the page holds exactly its old or its new content, the backup
// folder never holds a part of a page under the page's name, and nothing is left beside the page.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "fake_platform.h"
#include "platform.h"

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

// Backs up and replaces the page, then ends the process.
[[noreturn]] void ReplaceInChild(const std::string& page, const std::string& backup) {
  try {
    PosixPlatform platform;
    auto opened = platform.OpenPage(page);
    opened->BackUpTo(backup);
    auto temp = platform.CreateTempFile("slimtag.tmp");
    temp->Writer().Write(kNew);
    temp->FinishWriting();
    temp->CopyOver(*opened);
    platform.CommitReplacements();
    temp->Delete();
  } catch (...) {
    ::_exit(1);
  }
  ::_exit(0);
}

struct Outcome {
  bool finished;                     // the child was done before the kill
  std::chrono::microseconds took{};  // from the child's start to its end
  std::string page;
  std::vector<std::string> completed;  // what the next run completed
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
  if (pid == 0) ReplaceInChild(page, backup_folder + "/a.htm");
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

  PosixPlatform next_run;
  outcome.completed = next_run.RecoverFolder(dir.Pages());
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
  const Outcome whole = KillAfter({}, several_names, true);
  ASSERT_TRUE(whole.finished);
  ASSERT_TRUE(whole.page == kNew);
  const auto span = whole.took;

  std::mt19937 random(20261208);
  int old_pages = 0, new_pages = 0, completed = 0;
  for (int round = 0; round < 40; ++round) {
    // A little past the span, so that some children get to finish.
    const std::chrono::microseconds delay(random() % (span.count() * 11 / 10 + 1));
    SCOPED_TRACE("killed after " + std::to_string(delay.count()) + " µs");
    const Outcome o = KillAfter(delay, several_names, false);
    const bool is_old = o.page == kOld;
    const bool is_new = o.page == kNew;
    EXPECT_TRUE(is_old || is_new) << "a page of " << o.page.size() << " bytes, neither";
    old_pages += is_old;
    new_pages += is_new;
    completed += !o.completed.empty();
    if (!o.completed.empty()) {
      EXPECT_TRUE(is_new) << "a completed page holds the new content";
    }
  }
  ::testing::Test::RecordProperty("old", old_pages);
  ::testing::Test::RecordProperty("new", new_pages);
  ::testing::Test::RecordProperty("completed", completed);
}

INSTANTIATE_TEST_SUITE_P(Paths, KilledReplacement, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "InItsOwnFile" : "ByRename"; });

}  // namespace
}  // namespace slimtag
