#include "run/optimisation_run.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fake_host.h"
#include "fake_platform.h"
#include "lines/line_reader.h"
#include "posix/posix_platform.h"
#include "run/messages.h"
#include "run_world.h"

namespace slimtag {
namespace {

using testing::FailingPlatform;
using testing::FakeHost;
using testing::Listing;
using testing::MessageEvent;
using testing::ReadFile;
using testing::ScratchDir;
using testing::StartedEvent;
using testing::Timeline;
using testing::World;
using testing::WriteFile;
namespace fs = std::filesystem;

constexpr const char* kNothingSelected = "Файлы не выбраны! ";
constexpr const char* kBackupName = "~backup_14'05'09";  // from the fake's time of day 14:05:09

std::string Optimising(const std::string& name) {
  return StartedEvent(name);
}
std::string Warning(const std::string& text) {
  return MessageEvent(text, MessageIcon::kWarning);
}
std::string Information(const std::string& text) {
  return MessageEvent(text, MessageIcon::kInformation);
}

// A CR LF page of exactly size bytes whose first line ends in trailing_blanks blanks, so that
// Check2 takes exactly that many bytes off it.
std::string PageOfSize(std::size_t size, std::size_t trailing_blanks) {
  const std::size_t first = 1 + trailing_blanks + 2;
  return "a" + std::string(trailing_blanks, ' ') + "\r\n" + std::string(size - first - 2, 'b') +
         "\r\n";
}

// With no entries the run warns at once and makes nothing; with entries none selected it warns
// after the loop, leaving the backup folder it made empty.
TEST(OptimisationRun, NothingSelectedWarnsAndWritesNoPage) {
  for (const bool entries : {false, true}) {
    World w;
    if (entries) {
      w.AddPage("a.htm", "a  \r\n", false);
      w.AddPage("b.htm", "b", false);
    }
    w.host.Check(2).Check(6).Check(7);
    EXPECT_EQ(w.Run(), RunOutcome::kNothingSelected);
    EXPECT_EQ(w.HostEvents(), (std::vector<std::string>{Warning(kNothingSelected)}));
    EXPECT_EQ(w.optimiser.State().Stats.FilesDone, 0);
    EXPECT_TRUE(Listing(w.dir.Work()).empty());
    if (!entries) {
      EXPECT_EQ(w.platform.Operations(), 0);
      EXPECT_TRUE(Listing(w.dir.Pages()).empty()) << "no backup folder without entries";
      continue;
    }
    EXPECT_EQ(w.Page("a.htm"), "a  \r\n");
    EXPECT_EQ(w.Page("b.htm"), "b");
    EXPECT_EQ(Listing(w.dir.Pages()), (std::vector<std::string>{"a.htm", "b.htm", kBackupName}));
    EXPECT_TRUE(Listing(w.dir.Page(kBackupName)).empty());
  }
}

// Empty pages are started and rewritten, joined ones growing by their line end, yet hold no byte
// to report.
TEST(OptimisationRun, EmptyPagesAreStartedButOnlyGiveTheWarning) {
  for (const bool joined : {false, true}) {
    World w;
    w.AddPage("a.htm", "");
    w.AddPage("b.htm", "");
    if (joined) w.host.Check(14);
    EXPECT_EQ(w.Run(), RunOutcome::kNothingSelected);
    EXPECT_EQ(w.HostEvents(), (std::vector<std::string>{Optimising("a.htm"), Optimising("b.htm"),
                                                        Warning(kNothingSelected)}));
    EXPECT_EQ(w.optimiser.State().Stats.FilesDone, 2);
    EXPECT_EQ(w.Page("a.htm"), joined ? "\r\n" : "");
  }
}

struct StatisticsCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> pages;
  std::vector<int> boxes;
  std::map<int, std::string> fields;
  std::string message;
};

// The run's figures are its pages'; how the percentage rounds is the message's own test.
std::vector<StatisticsCase> StatisticsCases() {
  return {
      {"two pages shrink",
       {{"a.htm", PageOfSize(10000, 2000)}, {"b.htm", PageOfSize(5000, 500)}},
       {2},
       {},
       "2 файл(ов) обработано.\r\nРазмер до оптимизации: 15000 байт.\r\nРазмер после "
       "оптимизации: 12500 байт.\r\n\r\nУдалено: 2500 байт. (17%)"},
      {"no final line break grows the page",
       {{"a.htm", std::string(100, 'x')}},
       {},
       {},
       "1 файл(ов) обработано.\r\nРазмер до оптимизации: 100 байт.\r\nРазмер после "
       "оптимизации: 102 байт.\r\n\r\nУдалено: -2 байт. (-2%)"},
      {"everything removed",
       {{"a.htm", "    \r\n  \r\n"}, {"b.htm", ""}},
       {1, 3},
       {},
       "2 файл(ов) обработано.\r\nРазмер до оптимизации: 10 байт.\r\nРазмер после "
       "оптимизации: 0 байт.\r\n\r\nУдалено: 10 байт. (100%)"},
  };
}

TEST(OptimisationRun, StatisticsMessage) {
  for (const StatisticsCase& c : StatisticsCases()) {
    SCOPED_TRACE(c.name);
    World w;
    for (const auto& [name, content] : c.pages) w.AddPage(name, content);
    for (int box : c.boxes) w.host.Check(box);
    for (const auto& [field, text] : c.fields) w.host.Field(field, text);
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
    ASSERT_EQ(w.host.Messages().size(), 1u);
    EXPECT_EQ(w.host.Messages()[0].first, c.message);
    EXPECT_EQ(w.host.Messages()[0].second, MessageIcon::kInformation);
  }
}

TEST(OptimisationRun, HostIsToldOfEachSelectedPageInListOrderThenOfTheEnd) {
  World w;
  // The host's order, not the names' order, is the list order.
  w.AddPage("b.htm", "b\r\n");
  w.AddPage("a.htm", "a", false);
  w.AddPage("c.htm", "cc\r\n");
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  const std::string stats =
      "2 файл(ов) обработано.\r\nРазмер до оптимизации: 7 байт.\r\nРазмер после "
      "оптимизации: 7 байт.\r\n\r\nУдалено: 0 байт. (0%)";
  EXPECT_EQ(w.HostEvents(), (std::vector<std::string>{Optimising("b.htm"), Optimising("c.htm"),
                                                      Information(stats)}));
  EXPECT_EQ(w.Page("a.htm"), "a") << "an entry not selected is not touched";
}

// A page holding something for every pass, with CR LF after every line.
const char kBusyPage[] =
    "   <P>  &nbsp;&NBSP;  </p>   \r\n"
    "\r\n"
    "<meta name=\"GENERATOR\" content=\"Microsoft FrontPage 4.0\">\r\n"
    "<center></center><STRONG>x</STRONG> <font color=\"#FF0000\">\tred</font>\r\n"
    "line\nfeed \xE0\xFF\x80 \r\n"
    "\r\n";

struct BoxStates {
  const char* name;
  std::vector<std::pair<int, int>> boxes;
};

TEST(OptimisationRun, CrLfPageComesBackByteForByteWhenNoBoxIsTicked) {
  std::vector<std::pair<int, int>> all_grey;
  for (int box = 1; box <= 14; ++box) all_grey.emplace_back(box, 2);
  const BoxStates cases[] = {
      {"all clear", {}},
      {"all greyed", all_grey},
      {"only the comment box, which the run never reads", {{5, 1}}},
  };
  for (const BoxStates& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.AddPage("a.htm", kBusyPage);
    for (const auto& [box, state] : c.boxes) w.host.Check(box, state);
    w.host.Field(1, "x").Field(2, "y").Field(13, "line");
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
    EXPECT_EQ(w.Page("a.htm"), kBusyPage);
    ASSERT_EQ(w.host.Messages().size(), 1u);
    EXPECT_TRUE(w.host.Messages()[0].first.ends_with("\r\nУдалено: 0 байт. (0%)"));
    EXPECT_TRUE(Listing(w.dir.Pages()) == std::vector<std::string>{"a.htm"})
        << "no backup folder while Check6 is not 1";
  }
}

TEST(OptimisationRun, EachPageIsJoinedOnItsOwn) {
  World w;
  w.AddPage("a.htm", "<p>\r\nHello\r\nworld\r\n</p>\r\n");
  w.AddPage("b.htm", "next\r\npage");
  w.host.Check(14);
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("a.htm"), "<p>Hello world </p>\r\n");
  EXPECT_EQ(w.Page("b.htm"), "next page\r\n");
}

TEST(OptimisationRun, TemporaryFileLivesInTheWorkingDirectoryAndGoesAfterEachPage) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  w.AddPage("b.htm", "b&nbsp;\r\n");
  w.host.Check(7);
  std::vector<std::string> seen;  // there when each page is replaced
  w.platform.BeforeEach("copy-over", [&] { seen.push_back(ReadFile("slimtag.tmp")); });
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(seen, (std::vector<std::string>{"a\r\n", "b\r\n"}));
  EXPECT_TRUE(Listing(w.dir.Work()).empty());
  EXPECT_EQ(Listing(w.dir.Pages()), (std::vector<std::string>{"a.htm", "b.htm"}));
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
}

// text with every occurrence of root replaced by "@".
std::string WithoutRoot(const std::string& text, const std::string& root) {
  std::string out;
  std::size_t done = 0;
  for (std::size_t p = text.find(root); p != std::string::npos; p = text.find(root, done)) {
    out.append(text, done, p - done);
    out += '@';
    done = p + root.size();
  }
  out.append(text, done, std::string::npos);
  return out;
}

// The kind of a logged operation: "copy-over" of "op 12 copy-over /path".
std::string OperationKind(const std::string& event) {
  const std::size_t start = event.find(' ', 3) + 1;
  return event.substr(start, event.find(' ', start) - start);
}

struct FailureCase {
  const char* name;
  std::vector<int> boxes;
  std::map<int, std::string> fields;
  std::vector<std::pair<std::string, std::string>> pages;  // all selected, "skip.htm" between
};

// Stops the run at every one of its file operations in turn: the host must see exactly what it
// saw up to that operation, then the warning and the normal pointer; every page holds its old
// content or, once its copy back was done, its new one; the backup holds old content only; and
// the same owner runs cleanly afterwards.
TEST(OptimisationRun, FailureAtEveryOperationStopsTheRunWithAWarning) {
  const FailureCase cases[] = {
      {"backup and space entity",
       {6, 7},
       {},
       {{"a.htm", "x&nbsp;y\r\n"}, {"b.htm", "&nbsp;\r\nz"}}},
      // A Cyrillic text makes the run read each page once more for its encoding.
      {"Cyrillic removal and joined lines",
       {13, 14},
       {{13, "мусор"}},
       {{"a.htm", "<p>\r\nМУСОР текст\r\n</p>\r\n"}, {"b.htm", "один\r\nдва"}}},
  };
  std::set<std::string> kinds_failed;  // "open", "copy-over", …
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto set_up = [&](World& w) {
      w.AddPage(c.pages[0].first, c.pages[0].second);
      w.AddPage("skip.htm", "skip", false);
      w.AddPage(c.pages[1].first, c.pages[1].second);
      for (int box : c.boxes) w.host.Check(box);
      for (const auto& [field, text] : c.fields) w.host.Field(field, text);
    };

    World clean;
    set_up(clean);
    ASSERT_EQ(clean.Run(), RunOutcome::kStatistics);
    const std::vector<std::string> clean_events = clean.timeline.events;
    for (const std::string& e : clean_events) {
      if (e.rfind("op ", 0) == 0) kinds_failed.insert(OperationKind(e));
    }
    const std::string clean_message = clean.host.Messages().at(0).first;
    std::map<std::string, std::string> old_content, new_content;
    std::map<std::string, int> copied_back_at;  // the operation number of each page's copy back
    for (const auto& [name, content] : c.pages) {
      old_content[name] = content;
      new_content[name] = clean.Page(name);
      ASSERT_NE(new_content[name], content) << "the case must change every page";
      for (int i = 1; i <= clean.platform.Operations(); ++i) {
        const std::string op = "op " + std::to_string(i) + " copy-over " + clean.dir.Page(name);
        if (std::find(clean_events.begin(), clean_events.end(), op) != clean_events.end()) {
          copied_back_at[name] = i;
        }
      }
      ASSERT_GT(copied_back_at[name], 0);
    }

    for (int n = 1; n <= clean.platform.Operations(); ++n) {
      SCOPED_TRACE("failing operation " + std::to_string(n));
      World w;
      set_up(w);
      w.platform.FailAt(n);
      EXPECT_EQ(w.Run(), RunOutcome::kFailed);
      ASSERT_NE(w.platform.Injected(), nullptr);

      // The scratch folders differ between worlds; compare the events with paths made alike.
      auto alike = [](std::vector<std::string> events, const std::string& root) {
        for (std::string& e : events) e = WithoutRoot(e, root);
        return events;
      };
      const auto op_n = std::find_if(clean_events.begin(), clean_events.end(), [&](auto& e) {
        return e.rfind("op " + std::to_string(n) + " ", 0) == 0;
      });
      ASSERT_NE(op_n, clean_events.end());
      std::vector<std::string> expected = alike({clean_events.begin(), op_n + 1}, clean.dir.Root());
      // The pages finished before the failure are committed before the warning.
      expected.push_back("op " + std::to_string(n + 1) + " commit ");
      expected.push_back(alike({Warning(FailureText(*w.platform.Injected()))}, w.dir.Root())[0]);
      EXPECT_EQ(alike(w.timeline.events, w.dir.Root()), expected);

      for (const auto& [name, content] : old_content) {
        const std::string now = w.Page(name);
        EXPECT_EQ(now, copied_back_at[name] < n ? new_content[name] : content) << name;
      }
      EXPECT_EQ(w.Page("skip.htm"), "skip");
      const std::string backup = w.dir.Page(kBackupName);
      if (fs::exists(backup)) {
        for (const std::string& name : Listing(backup)) {
          EXPECT_EQ(ReadFile(backup + "/" + name), old_content.at(name)) << name;
        }
      }

      // Nothing of the stopped run gets in the way of the next one.
      for (const auto& [name, content] : old_content) WriteFile(w.dir.Page(name), content);
      w.platform.FailAt(0);
      EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
      EXPECT_EQ(w.host.Messages().back().first, clean_message);
      for (const auto& [name, content] : new_content) EXPECT_EQ(w.Page(name), content) << name;
    }
  }
  EXPECT_EQ(kinds_failed,
            (std::set<std::string>{"commit", "copy", "copy-over", "create-folder", "create-temp",
                                   "finish-temp", "open", "open-folder", "read", "recover",
                                   "use-temp", "write"}))
      << "every kind of file operation is made to fail at least once";
}

TEST(OptimisationRun, PermissionBitsOfThePageAndItsBackupAreKept) {
  // 0666 and 0664 are beyond the usual umask; 02755 has the set-group-ID bit that a change of
  // owner clears, and which a backup copy never carries.
  for (const mode_t mode : {0600, 0640, 0751, 0444, 0666, 0664, 02755}) {
    SCOPED_TRACE(mode);
    World w;
    w.AddPage("a.htm", "a&nbsp;b\r\n");
    ASSERT_EQ(::chmod(w.dir.Page("a.htm").c_str(), mode), 0);
    w.host.Check(6).Check(7);
    if (mode == 0444 && ::geteuid() != 0) {
      EXPECT_EQ(w.Run(), RunOutcome::kFailed) << "a write-protected page is left alone";
      continue;
    }
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
    EXPECT_EQ(w.Page("a.htm"), "ab\r\n");
    const std::pair<std::string, mode_t> expected[] = {
        {w.dir.Page("a.htm"), mode},
        {w.dir.Page(std::string(kBackupName) + "/a.htm"), mode & 0777},
    };
    for (const auto& [path, bits] : expected) {
      struct stat st {};
      ASSERT_EQ(::stat(path.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, bits) << path;
    }
  }
}

TEST(OptimisationRun, LinkedPageKeepsItsLinkAndTheTargetIsReplaced) {
  World w;
  const std::string elsewhere = w.dir.Root() + "/elsewhere";
  fs::create_directory(elsewhere);
  WriteFile(elsewhere + "/target.htm", "a&nbsp;b\r\n");
  fs::create_symlink("../elsewhere/target.htm", w.dir.Page("link.htm"));
  w.host.AddEntry("link.htm");
  w.host.Check(7);
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_TRUE(fs::is_symlink(w.dir.Page("link.htm")));
  EXPECT_EQ(fs::read_symlink(w.dir.Page("link.htm")), "../elsewhere/target.htm");
  EXPECT_EQ(ReadFile(elsewhere + "/target.htm"), "ab\r\n");
  EXPECT_EQ(Listing(elsewhere), std::vector<std::string>{"target.htm"});
  EXPECT_EQ(Listing(w.dir.Pages()), std::vector<std::string>{"link.htm"});
}

TEST(OptimisationRun, TemporaryFileLockedByAnotherCopyStopsTheRunBeforeAnyPage) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  w.AddPage("b.htm", "b&nbsp;\r\n");
  w.host.Check(6).Check(7);
  const int fd = ::open("slimtag.tmp", O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

  EXPECT_EQ(w.Run(), RunOutcome::kFailed);
  EXPECT_EQ(w.HostEvents(),
            (std::vector<std::string>{
                Warning("Оптимизация остановлена.\r\nВременный файл «slimtag.tmp» занят другой "
                        "копией программы. Дождитесь окончания её работы и повторите.")}));
  EXPECT_EQ(w.Page("a.htm"), "a&nbsp;\r\n");
  EXPECT_EQ(w.Page("b.htm"), "b&nbsp;\r\n");
  EXPECT_EQ(Listing(w.dir.Pages()), (std::vector<std::string>{"a.htm", "b.htm"}))
      << "no backup folder";
  EXPECT_TRUE(fs::exists("slimtag.tmp")) << "the other copy's file stays";

  ::close(fd);
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
}

// Another window started from the same working directory while a run is between two pages, when
// the temporary file itself is not there: it stops before it touches anything, and the run at
// work goes on to its end.
TEST(OptimisationRun, ACopyStartedDuringARunStopsFirstAndTheRunGoesOn) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  w.AddPage("b.htm", "b&nbsp;\r\n");
  w.host.Check(7);
  const std::string other_folder = w.dir.Root() + "/other";
  fs::create_directory(other_folder);
  WriteFile(other_folder + "/c.htm", "c&nbsp;\r\n");
  Timeline other_timeline;
  FakeHost other(other_timeline, other_folder);
  other.AddEntry("c.htm").Check(7);
  PosixPlatform other_platform;
  std::optional<RunOutcome> other_outcome;
  w.platform.Before(
      "open",
      [&] {
        ASSERT_FALSE(fs::exists("slimtag.tmp")) << "the first page's file is gone already";
        other_outcome = Optimiser(other_platform).RunOptimisation(other.Request(), other);
      },
      w.dir.Page("b.htm"));

  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(other_outcome, RunOutcome::kFailed);
  EXPECT_EQ(other.Messages().at(0).first,
            "Оптимизация остановлена.\r\nВременный файл «slimtag.tmp» занят другой копией "
            "программы. Дождитесь окончания её работы и повторите.");
  EXPECT_EQ(ReadFile(other_folder + "/c.htm"), "c&nbsp;\r\n");
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
  EXPECT_EQ(w.Page("b.htm"), "b\r\n");
  EXPECT_TRUE(Listing(w.dir.Work()).empty()) << "neither the temporary file nor its lock stays";
}

// The front end stops the run while a page is in hand: that page and those before it are
// finished, backed up, committed and reported; the rest stay untouched; the folders and the lock
// are let go, so the next run goes through.
TEST(OptimisationRun, AStopTakesEffectAfterThePageInHand) {
  struct Case {
    const char* name;
    std::string stop_when_started;  // empty: stopped before the run starts
    std::vector<std::string> done;  // as the host is told
    std::string message;
  };
  const std::string stopped =
      "Оптимизация остановлена по вашему запросу; остальные файлы не тронуты.\r\n\r\n";
  const Case cases[] = {
      {"in the second page",
       "b.htm",
       {"a.htm 9 3", "b.htm 10 4"},
       stopped + "2 файл(ов) обработано.\r\nРазмер до оптимизации: 19 байт.\r\nРазмер после "
                 "оптимизации: 7 байт.\r\n\r\nУдалено: 12 байт. (63%)"},
      {"in the first page",
       "a.htm",
       {"a.htm 9 3"},
       stopped + "1 файл(ов) обработано.\r\nРазмер до оптимизации: 9 байт.\r\nРазмер после "
                 "оптимизации: 3 байт.\r\n\r\nУдалено: 6 байт. (67%)"},
      {"before the first page", "", {}, stopped + "0 файл(ов) обработано."},
  };
  const std::map<std::string, std::string> before = {
      {"a.htm", "a&nbsp;\r\n"}, {"b.htm", "bb&nbsp;\r\n"}, {"c.htm", "c&nbsp;\r\n"}};
  const std::map<std::string, std::string> after = {
      {"a.htm", "a\r\n"}, {"b.htm", "bb\r\n"}, {"c.htm", "c\r\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    std::atomic<bool> stop{c.stop_when_started.empty()};
    for (const auto& [name, content] : before) w.AddPage(name, content);
    w.host.Check(6).Check(7).SetStop(&stop);
    w.host.on_started = [&](const std::string& name) {
      if (name == c.stop_when_started) stop = true;
    };

    EXPECT_EQ(w.Run(), RunOutcome::kStopped);
    std::vector<std::string> events;
    std::vector<std::string> backups;
    for (const std::string& done : c.done) {
      const std::string name = done.substr(0, done.find(' '));
      events.push_back(Optimising(name));
      backups.push_back(name);
    }
    events.push_back(Information(c.message));
    EXPECT_EQ(w.HostEvents(), events);
    EXPECT_EQ(w.host.PagesDone(), c.done);
    for (const auto& [name, content] : before) {
      const bool done = std::find(backups.begin(), backups.end(), name) != backups.end();
      EXPECT_EQ(w.Page(name), done ? after.at(name) : content) << name;
    }
    EXPECT_EQ(Listing(w.dir.Pages() + "/" + kBackupName), backups);
    EXPECT_TRUE(Listing(w.dir.Work()).empty()) << "neither the temporary file nor its lock stays";
    ASSERT_EQ(w.host.Results().size(), 1u);
    EXPECT_EQ(w.host.Results()[0].stats.FilesDone, static_cast<std::int64_t>(c.done.size()));

    stop = false;
    w.host.on_started = nullptr;
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics) << "the folder is free again";
    for (const auto& [name, content] : after) EXPECT_EQ(w.Page(name), content) << name;
  }
}

TEST(OptimisationRun, LeftoverTemporaryFileAndLockOfAKilledRunAreTakenOver) {
  World w;
  WriteFile("slimtag.tmp", "stale content of a run that was killed\r\n");
  WriteFile("slimtag.tmp.lock", "");
  w.AddPage("a.htm", "a\r\n");
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
  EXPECT_TRUE(Listing(w.dir.Work()).empty());
}

struct BackupCase {
  const char* name;
  std::vector<std::string> folders_there;
  std::vector<std::string> files_there;
  std::string expected;
};

TEST(OptimisationRun, TakenBackupNameGetsTheNextFreeNumber) {
  const std::string b = kBackupName;
  const BackupCase cases[] = {
      {"free", {}, {}, b},
      {"taken once", {b}, {}, b + "_2"},
      {"taken twice", {b, b + "_2"}, {}, b + "_3"},
      {"a file of that name", {}, {b}, b + "_2"},
      {"a gap is not filled", {b, b + "_3"}, {}, b + "_2"},
  };
  for (const BackupCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    for (const auto& folder : c.folders_there) fs::create_directory(w.dir.Page(folder));
    for (const auto& file : c.files_there) WriteFile(w.dir.Page(file), "not a folder");
    w.AddPage("a.htm", "a  \r\n");
    w.host.Check(2).Check(6);
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
    EXPECT_EQ(w.optimiser.State().BackupStamp, "14'05'09");
    EXPECT_EQ(w.optimiser.State().BackupFolder, w.dir.Page(c.expected));
    EXPECT_EQ(ReadFile(w.dir.Page(c.expected) + "/a.htm"), "a  \r\n") << "the page as it was";
    EXPECT_EQ(w.Page("a.htm"), "a\r\n");
    for (const auto& folder : c.folders_there) {
      EXPECT_TRUE(Listing(w.dir.Page(folder)).empty()) << folder << " is left alone";
    }
  }
}

TEST(OptimisationRun, BackupStampIsTheTimeOfDayWithApostrophesForColons) {
  const std::pair<std::string, std::string> cases[] = {
      {"09:30:00", "09'30'00"},
      {"2:05:09 PM", "2'05'09 PM"},
      {"14.05.09", "14.05.09"},
  };
  for (const auto& [time, stamp] : cases) {
    ScratchDir dir;
    Timeline timeline;
    PosixPlatform posix;
    FailingPlatform platform(posix, timeline, time);
    FakeHost host(timeline, dir.Pages());
    WriteFile(dir.Page("a.htm"), "a\r\n");
    host.AddEntry("a.htm").Check(6);
    Optimiser optimiser(platform);
    EXPECT_EQ(optimiser.RunOptimisation(host.Request(), host), RunOutcome::kStatistics);
    EXPECT_EQ(optimiser.State().BackupStamp, stamp);
    EXPECT_TRUE(fs::is_directory(dir.Page("~backup_" + stamp))) << stamp;
  }
}

// What went wrong in the world, as the run names it; the wording is the messages' own test.
struct WarningCase {
  const char* name;
  std::function<void(World&)> set_up;  // after a.htm, which is processed first
  std::string bad;                     // the entry in hand when it fails, empty when none
  FileError::Operation operation;
  int error;
  std::function<std::string(const World&)> path;
};

TEST(OptimisationRun, WarningNamesTheFileAndWhatFailed) {
  using Op = FileError::Operation;
  const auto page = [](const char* name) {
    return [name](const World& w) { return w.dir.Page(name); };
  };
  const WarningCase cases[] = {
      {"page gone", [](World& w) { w.host.AddEntry("gone.htm"); }, "gone.htm", Op::kOpen, ENOENT,
       page("gone.htm")},
      {"a folder as page",
       [](World& w) {
         fs::create_directory(w.dir.Page("sub.htm"));
         w.host.AddEntry("sub.htm");
       },
       "sub.htm", Op::kOpen, EISDIR, page("sub.htm")},
      {"backup of a page gone", [](World& w) { w.host.AddEntry("gone.htm").Check(6); }, "gone.htm",
       Op::kOpen, ENOENT, page("gone.htm")},
      {"backup folder under a missing folder",
       [](World& w) { w.host.SetListPath(w.dir.Root() + "/missing").Check(6); }, "",
       Op::kCreateFolder, ENOENT,
       [](const World& w) { return w.dir.Root() + "/missing/" + kBackupName; }},
      {"temporary name taken by a folder", [](World&) { fs::create_directory("slimtag.tmp"); }, "",
       Op::kCreateTemp, EISDIR, [](const World&) { return std::string("slimtag.tmp"); }},
  };
  for (const WarningCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.AddPage("a.htm", "a&nbsp;\r\n");
    w.host.Check(7);
    c.set_up(w);
    EXPECT_EQ(w.Run(), RunOutcome::kFailed);
    ASSERT_EQ(w.host.Messages().size(), 1u);
    const std::optional<FileError>& failure = w.host.Results().at(0).failure;
    ASSERT_TRUE(failure.has_value()) << "the failure goes with the end";
    EXPECT_EQ(failure->operation, c.operation);
    EXPECT_EQ(failure->error, c.error);
    EXPECT_EQ(failure->path, c.path(w));
    EXPECT_EQ(w.host.Messages()[0].first, FailureText(*failure));
    EXPECT_EQ(w.host.Messages()[0].second, MessageIcon::kWarning);
    if (c.bad.empty()) {
      EXPECT_EQ(w.host.LastStarted(), "") << "stopped before any page";
      EXPECT_EQ(w.Page("a.htm"), "a&nbsp;\r\n");
    } else {
      EXPECT_EQ(w.host.LastStarted(), c.bad);
      EXPECT_EQ(w.Page("a.htm"), "a\r\n") << "the page finished before stays finished";
    }
  }
}

struct LineEndCase {
  const char* name;
  std::vector<int> boxes;
  std::string page;
  std::string window;   // under the window's rule
  std::string as_read;  // when each line keeps its terminator
};

TEST(OptimisationRun, LinesKeepTheirTerminatorsWhenTheHostAsks) {
  const LineEndCase cases[] = {
      {"no box", {}, "a \nb\r\nc\rd", "a \nb\r\nc\r\nd\r\n", "a \nb\r\nc\rd"},
      // Under the window's rule a line feed alone stays inside its line; CR ends one.
      {"line feeds", {}, "a\nb\n", "a\nb\n\r\n", "a\nb\n"},
      {"carriage returns", {}, "a\rb\r", "a\r\nb\r\n", "a\rb\r"},
      {"empty lines", {}, "a\r\n\r\nb", "a\r\n\r\nb\r\n", "a\r\n\r\nb"},
      {"CR before CR LF", {}, "\r\r\n", "\r\n\r\n", "\r\r\n"},
      {"trimmed ends", {1, 2}, " a \n b\r\n", "a \n b\r\n", "a\nb\r\n"},
      {"empty lines dropped", {3}, "a\n\nb\n", "a\n\nb\n\r\n", "a\nb\n"},
      {"joined", {14}, "<p>\nx\n", "<p>\nx\n\r\n", "<p>x\n"},
      {"joined empty page", {14}, "", "\r\n", ""},
  };
  for (const LineEndCase& c : cases) {
    for (const LineEndRule rule : {LineEndRule::kCrLf, LineEndRule::kAsRead}) {
      SCOPED_TRACE(std::string(c.name) + (rule == LineEndRule::kAsRead ? ", as read" : ""));
      World w;
      w.AddPage("a.htm", c.page);
      w.host.SetLineEnds(rule);
      for (int box : c.boxes) w.host.Check(box);
      w.Run();
      EXPECT_EQ(w.Page("a.htm"), rule == LineEndRule::kAsRead ? c.as_read : c.window);
    }
  }
}

// By page: each page is read by its own line ends, whatever the pages before it had; a CR LF that
// only the second block of a read holds counts.
TEST(OptimisationRun, LineEndsByPageFollowEachPage) {
  const std::string long_line(LineReader::kBlockSize - 1, 'x');
  World w;
  w.AddPage("a.htm", "a \nb \n");
  w.AddPage("b.htm", "a \r\nb \n");
  w.AddPage("c.htm", long_line + "\r\nb \n");
  w.AddPage("d.htm", "a \n");
  w.host.SetLineEnds(LineEndRule::kByPage).Check(2);
  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("a.htm"), "a\nb\n");
  EXPECT_EQ(w.Page("b.htm"), "a\r\nb \n\r\n");
  EXPECT_EQ(w.Page("c.htm"), long_line + "\r\nb \n\r\n");
  EXPECT_EQ(w.Page("d.htm"), "a\n");
}

TEST(OptimisationRun, PagesBelowTheFolderGetTheirFoldersOwnBackupFolder) {
  World w;
  fs::create_directories(w.dir.Page("sub/deeper"));
  w.AddPage("a.htm", "a&nbsp;\r\n");
  w.AddPage("sub/b.htm", "b&nbsp;\r\n");
  w.AddPage("sub/deeper/c.htm", "c&nbsp;\r\n");
  w.AddPage("sub/d.htm", "d\r\n");
  w.host.Check(6).Check(7);
  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("sub/deeper/c.htm"), "c\r\n");
  EXPECT_EQ(ReadFile(w.dir.Page(std::string(kBackupName) + "/a.htm")), "a&nbsp;\r\n");
  EXPECT_EQ(Listing(w.dir.Page(std::string("sub/") + kBackupName)),
            (std::vector<std::string>{"b.htm", "d.htm"}));
  EXPECT_EQ(ReadFile(w.dir.Page(std::string("sub/deeper/") + kBackupName + "/c.htm")),
            "c&nbsp;\r\n");
  EXPECT_EQ(w.host.PagesDone(),
            (std::vector<std::string>{"a.htm 9 3", "sub/b.htm 9 3", "sub/deeper/c.htm 9 3",
                                      "sub/d.htm 3 3"}));
}

struct KeepGoingCase {
  const char* name;
  bool backup;
  // Makes page b.htm fail; the world's pages are a.htm to d.htm, each "<letter>&nbsp;\r\n".
  std::function<void(World&)> fail_b;
  FileError::Operation operation;
  std::string b_after;  // b.htm's content after the run
  // The pages started after the first a, b, c, d: those done again after their batch failed.
  std::vector<std::string> started_again;
  // Each backup folder's names; every copy holds its page's old content unless it is b's, which
  // holds b_backup.
  std::map<std::string, std::vector<std::string>> backups;
  std::string b_backup;
};

// With keep_going, a page that fails anywhere, from its open to the commit of its batch, is told
// and keeps its content; every other page is replaced and told, in list order; a page dropped
// with a batch that failed on another page is done again, its copy in a backup folder of its own.
TEST(OptimisationRun, KeepGoingFailsOnlyThePageThatFails) {
  const auto on_b = [](const char* what, int error = EIO) {
    return [what, error](World& w) { w.platform.FailAtFirst(what, error, w.dir.Page("b.htm")); };
  };
  const std::string b = kBackupName;
  const std::string b2 = b + "_2";
  using Op = FileError::Operation;
  const KeepGoingCase cases[] = {
      {"open", false, on_b("open"), Op::kOpen, "b&nbsp;\r\n", {}, {}, ""},
      {"read", false, on_b("read"), Op::kRead, "b&nbsp;\r\n", {}, {}, ""},
      {"backup copy",
       true,
       on_b("copy"),
       Op::kBackup,
       "b&nbsp;\r\n",
       {},
       {{b, {"a.htm", "c.htm", "d.htm"}}},
       ""},
      {"new content made", false, on_b("create-temp"), Op::kCreateTemp, "b&nbsp;\r\n", {}, {}, ""},
      {"new content written",
       false,
       on_b("write", ENOSPC),
       Op::kWriteTemp,
       "b&nbsp;\r\n",
       {},
       {},
       ""},
      {"new content finished",
       false,
       on_b("finish-temp"),
       Op::kWriteTemp,
       "b&nbsp;\r\n",
       {},
       {},
       ""},
      {"copy over",
       true,
       on_b("copy-over"),
       Op::kReplace,
       "b&nbsp;\r\n",
       {},
       {{b, {"a.htm", "b.htm", "c.htm", "d.htm"}}},
       "b&nbsp;\r\n"},
      {"out of memory",
       false,
       [](World& w) { w.platform.OutOfMemoryAt("read", w.dir.Page("b.htm")); },
       Op::kOutOfMemory,
       "b&nbsp;\r\n",
       {},
       {},
       ""},
      {"commit: changed by another program",
       false,
       [](World& w) {
         w.platform.Before("commit", [&w] { WriteFile(w.dir.Page("b.htm"), "saved"); });
       },
       Op::kChanged,
       "saved",
       {"c.htm", "d.htm"},
       {},
       ""},
      {"commit with backups: changed by another program",
       true,
       [](World& w) {
         w.platform.Before("commit", [&w] { WriteFile(w.dir.Page("b.htm"), "saved"); });
       },
       Op::kChanged,
       "saved",
       {"c.htm", "d.htm"},
       {{b, {"a.htm", "b.htm", "c.htm", "d.htm"}}, {b2, {"c.htm", "d.htm"}}},
       "b&nbsp;\r\n"},
      // Copies are named before any page of their batch is replaced: the whole batch is dropped.
      {"commit: the name of b's copy taken",
       true,
       [b](World& w) {
         w.platform.Before("commit", [&w, b] { WriteFile(w.dir.Page(b + "/b.htm"), "someone's"); });
       },
       Op::kBackup,
       "b&nbsp;\r\n",
       {"a.htm", "c.htm", "d.htm"},
       {{b, {"a.htm", "b.htm"}}, {b2, {"a.htm", "c.htm", "d.htm"}}},
       "someone's"},
  };
  for (const KeepGoingCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"}) {
      w.AddPage(name, std::string(1, name[0]) + "&nbsp;\r\n");
    }
    w.host.Check(7).KeepGoingBesideEachPage();
    if (c.backup) w.host.Check(6);
    c.fail_b(w);
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics);

    std::vector<std::string> expected = {Optimising("a.htm"), Optimising("b.htm"),
                                         Optimising("c.htm"), Optimising("d.htm")};
    for (const std::string& name : c.started_again) expected.push_back(Optimising(name));
    expected.push_back(
        Information("3 файл(ов) обработано.\r\nРазмер до оптимизации: 27 байт.\r\nРазмер после "
                    "оптимизации: 9 байт.\r\n\r\nУдалено: 18 байт. (67%)"));
    EXPECT_EQ(w.HostEvents(), expected);
    EXPECT_EQ(w.host.PageEnds(), (std::vector<std::string>{"done a.htm 9 3", "failed b.htm",
                                                           "done c.htm 9 3", "done d.htm 9 3"}));
    ASSERT_EQ(w.host.Failures().size(), 1u);
    EXPECT_EQ(w.host.Failures()[0].operation, c.operation);
    EXPECT_EQ(w.host.Failures()[0].path, w.dir.Page("b.htm"));

    EXPECT_EQ(w.Page("a.htm"), "a\r\n");
    EXPECT_EQ(w.Page("b.htm"), c.b_after);
    EXPECT_EQ(w.Page("c.htm"), "c\r\n");
    EXPECT_EQ(w.Page("d.htm"), "d\r\n");
    std::vector<std::string> listing = {"a.htm", "b.htm", "c.htm", "d.htm"};
    for (const auto& [folder, names] : c.backups) {
      listing.push_back(folder);
      EXPECT_EQ(Listing(w.dir.Page(folder)), names) << folder;
      for (const std::string& name : names) {
        EXPECT_EQ(ReadFile(w.dir.Page(folder + "/" + name)),
                  name == "b.htm" ? c.b_backup : std::string(1, name[0]) + "&nbsp;\r\n")
            << folder << "/" << name;
      }
    }
    std::sort(listing.begin(), listing.end());
    EXPECT_EQ(Listing(w.dir.Pages()), listing) << "no side file is left";
  }
}

// A failure of the run as a whole stops it with keep_going too, after the pages before it.
TEST(OptimisationRun, KeepGoingStopsAtAFailureOfTheRun) {
  World w;
  fs::create_directory(w.dir.Page("sub"));
  for (const char* name : {"a.htm", "b.htm", "sub/c.htm"}) w.AddPage(name, "x&nbsp;\r\n");
  w.host.Check(7).KeepGoingBesideEachPage();
  w.platform.FailAtFirst("read", EIO, w.dir.Page("a.htm"));
  const std::string sub = w.dir.Page("sub");
  w.platform.Before(
      "open-folder", [&] { fs::rename(sub, sub + ".away"); }, sub);
  EXPECT_EQ(w.Run(), RunOutcome::kFailed);
  EXPECT_EQ(w.host.PageEnds(), (std::vector<std::string>{"failed a.htm", "done b.htm 9 3"}));
  EXPECT_EQ(w.HostEvents().back(),
            Warning("Оптимизация остановлена.\r\nПапка «" + sub +
                    "» подменена или изменена другой программой во время оптимизации; в ней "
                    "ничего не записано."));
  EXPECT_EQ(w.Page("a.htm"), "x&nbsp;\r\n");
  EXPECT_EQ(w.Page("b.htm"), "x\r\n");
  EXPECT_EQ(w.Page("sub.away/c.htm"), "x&nbsp;\r\n");
}

}  // namespace
}  // namespace slimtag
