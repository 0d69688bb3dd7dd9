// A run on a file system that others use at the same moment: a folder swapped by its owner while
// a root run works in it, a second run in the same folder, a page that keeps growing, a rewrite
// cut short and repaired by hand before the next run. Tests that need another user switch a
// child process to "nobody", which needs root; they skip elsewhere.

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "other_user.h"
#include "posix/fd.h"
#include "posix/folder_watch.h"
#include "posix/step_hook.h"
#include "run/messages.h"
#include "run_world.h"

namespace slimtag {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::World;
using testing::WriteFile;
namespace fs = std::filesystem;

using testing::kOther;
constexpr const char* kStopped = "Оптимизация остановлена.\r\n";
const std::string kBackup = "~backup_14'05'09";

std::string Warning(const World& w) {
  return w.host.Messages().empty() ? "" : w.host.Messages().back().first;
}

// Gives the pages folder and its pages to the other user, as a user's site that root works on.
void GiveToTheOwner(const World& w) {
  if (::geteuid() != 0) return;
  ASSERT_EQ(::chown(w.dir.Pages().c_str(), kOther, kOther), 0);
  for (const std::string& name : Listing(w.dir.Pages())) {
    ASSERT_EQ(::lchown(w.dir.Page(name).c_str(), kOther, kOther), 0);
  }
  ::chmod(w.dir.Root().c_str(), 0755);
}

// The owner puts a link to a folder only root may write in place of a folder of the run.
void SwapForALink(const std::string& folder, const std::string& vault) {
  ASSERT_TRUE(testing::AsOwner([&] {
    fs::rename(folder, folder + ".away");
    fs::create_directory_symlink(vault, folder);
  })) << "the owner swaps the folder";
}

std::function<void()> on_step;
posix::Step hooked_step;

void StepHook(posix::Step step) {
  if (step == hooked_step && on_step) std::exchange(on_step, nullptr)();
}

// Calls act the first time the run reaches step.
struct AtStep {
  AtStep(posix::Step step, std::function<void()> act) {
    hooked_step = step;
    on_step = std::move(act);
    posix::SetStepHook(&StepHook);
  }
  ~AtStep() {
    posix::SetStepHook(nullptr);
    on_step = nullptr;
  }
};

struct SwapCase {
  const char* name;
  // Arms the swap of the backup folder on the world.
  std::function<void(World&, const std::string& vault, std::unique_ptr<AtStep>&)> arm;
  bool stops;
};

TEST(HostileFolders, BackupFolderSwappedForALinkIsNeverWrittenThrough) {
  const SwapCase cases[] = {
      {"as soon as it is made",
       [](World& w, const std::string& vault, std::unique_ptr<AtStep>& hook) {
         hook = std::make_unique<AtStep>(posix::Step::kFolderMade,
                                         [&w, vault] { SwapForALink(w.dir.Page(kBackup), vault); });
       },
       true},
      {"between two copies",
       [](World& w, const std::string& vault, std::unique_ptr<AtStep>&) {
         w.platform.Before(
             "copy", [&w, vault] { SwapForALink(w.dir.Page(kBackup), vault); },
             w.dir.Page("b.htm"));
       },
       false},
  };
  for (const SwapCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.AddPage("a.htm", "a&nbsp;\r\n");
    w.AddPage("b.htm", "b&nbsp;\r\n");
    ASSERT_EQ(::chmod(w.dir.Page("b.htm").c_str(), 0755), 0);
    GiveToTheOwner(w);
    const std::string vault = w.dir.Root() + "/vault";
    fs::create_directory(vault);
    ::chmod(vault.c_str(), 0700);
    w.host.Check(6).Check(7);
    std::unique_ptr<AtStep> hook;
    c.arm(w, vault, hook);

    const RunOutcome outcome = w.Run();
    EXPECT_TRUE(fs::is_empty(vault)) << "nothing is written through the link";
    if (c.stops) {
      EXPECT_EQ(outcome, RunOutcome::kFailed);
      EXPECT_EQ(Warning(w), std::string(kStopped) + "Папка «" + w.dir.Page(kBackup) +
                                "» подменена или изменена другой программой во время "
                                "оптимизации; в ней ничего не записано.");
      EXPECT_EQ(w.Page("a.htm"), "a&nbsp;\r\n");
    } else {
      // The copies go on into the folder the run made, wherever its owner moved it.
      EXPECT_EQ(outcome, RunOutcome::kStatistics);
      EXPECT_EQ(ReadFile(w.dir.Page(kBackup + ".away/a.htm")), "a&nbsp;\r\n");
      EXPECT_EQ(ReadFile(w.dir.Page(kBackup + ".away/b.htm")), "b&nbsp;\r\n");
      EXPECT_EQ(w.Page("b.htm"), "b\r\n");
    }
  }
}

int held_folder = -1;

TEST(HostileRun, SecondRunInAFolderWaitsForTheFirstThenStops) {
  for (const bool released : {true, false}) {
    SCOPED_TRACE(released ? "the first run ends while the second waits" : "the first goes on");
    World w;
    w.AddPage("a.htm", "a&nbsp;\r\n");
    w.host.Check(7);
    w.posix.SetFolderWait(std::chrono::milliseconds(300));
    // The first run holds the folder through a description of its own, as another process does.
    posix::Fd first(::open(w.dir.Pages().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_EQ(::flock(first.get(), LOCK_EX), 0);
    held_folder = first.get();
    std::unique_ptr<AtStep> hook;
    if (released) {
      hook = std::make_unique<AtStep>(posix::Step::kWaitingForFolder,
                                      [] { ::flock(held_folder, LOCK_UN); });
    }
    if (released) {
      EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
      EXPECT_EQ(w.Page("a.htm"), "a\r\n");
    } else {
      EXPECT_EQ(w.Run(), RunOutcome::kFailed);
      EXPECT_EQ(Warning(w), std::string(kStopped) + "В папке «" + w.dir.Pages() +
                                "» уже идёт другая оптимизация. Дождитесь окончания её работы и "
                                "повторите.");
      EXPECT_EQ(w.Page("a.htm"), "a&nbsp;\r\n");
    }
    // The run lets go of the folder when it ends.
    posix::Fd after(::open(w.dir.Pages().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    first.Reset();
    EXPECT_EQ(::flock(after.get(), LOCK_EX | LOCK_NB), 0);
  }
}

TEST(HostileRun, PageThatKeepsGrowingIsReadOnlyToItsOpenedSizeAndStopsTheRun) {
  const std::string old_content(std::size_t(200) << 10, 'x');
  for (const char* growing_at : {"read", "copy"}) {
    SCOPED_TRACE(std::string("it grows at each ") + growing_at);
    World w;
    w.AddPage("a.htm", old_content);
    w.host.Check(6).Check(7);
    // As `yes >> page` would: more with every step the run takes.
    std::size_t appended = 0;
    w.platform.BeforeEach(growing_at, [&] {
      std::ofstream(w.dir.Page("a.htm"), std::ios::app) << std::string(std::size_t(1) << 20, 'y');
      appended += std::size_t(1) << 20;
    });
    EXPECT_EQ(w.Run(), RunOutcome::kFailed);
    EXPECT_EQ(Warning(w), std::string(kStopped) + "Файл «" + w.dir.Page("a.htm") +
                              "» изменён другой программой во время оптимизации (он остался "
                              "таким, каким его сохранила та программа).");
    // A block holds the whole page: for the look at it and for its rewrite, one read for it and
    // one that finds its end.
    EXPECT_LE(w.platform.Count("read"), 4);
    EXPECT_EQ(fs::file_size(w.dir.Page("a.htm")), old_content.size() + appended);
    const std::string backup = w.dir.Page(kBackup + "/a.htm");
    if (fs::exists(backup)) {
      EXPECT_TRUE(ReadFile(backup) == old_content) << "the page as opened";
    }
  }
}

TEST(HostileRun, SaveIntoAPageRewrittenInItsOwnFileWaitsForTheRewrite) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  if (::fcntl(posix::Fd(::open(w.dir.Page("a.htm").c_str(), O_WRONLY)).get(), F_SETLEASE,
              F_WRLCK) != 0) {
    GTEST_SKIP() << "no write lease here";
  }
  fs::create_hard_link(w.dir.Page("a.htm"), w.dir.Root() + "/second.htm");
  w.host.Check(7);
  // An editor's open for its save, the moment the run holds the page to rewrite it, would wait
  // until the rewrite is done; asked not to wait, it is refused.
  int refused = 0;
  const AtStep save(posix::Step::kRewriteHeld, [&] {
    const posix::Fd editor(::open(w.dir.Page("a.htm").c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK));
    refused = editor ? 0 : errno;
    if (editor) static_cast<void>(::write(editor.get(), "saved", 5));
  });
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(refused, EWOULDBLOCK);
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
}

// The rewrite in a page's own file (it has a second name), cut short at a moment of it.
struct InterruptedCase {
  const char* name;
  posix::Step step;
  std::function<void(const std::string& page)> between;  // what someone does before the next run
  bool completed;
};

// The child's run, killed at the moment asked.
posix::Step kill_step;

TEST(InterruptedRewrite, IsCompletedOnlyOverWhatItLeftOfThePage) {
  const auto nothing = [](const std::string&) {};
  const auto repaired = [](const std::string& page) {
    std::ofstream(page, std::ios::binary | std::ios::trunc) << "repaired by hand\r\n";
  };
  const auto one_byte = [](const std::string& page) {
    std::fstream f(page, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(-3, std::ios::end);
    f.put('#');
  };
  const InterruptedCase cases[] = {
      {"before its first byte", posix::Step::kRecoveryDurable, nothing, true},
      {"half written", posix::Step::kHalfWritten, nothing, true},
      {"before the truncation", posix::Step::kBeforeTruncation, nothing, true},
      {"repaired in place", posix::Step::kHalfWritten, repaired, false},
      {"one old byte changed", posix::Step::kHalfWritten, one_byte, false},
      {"one byte changed before the truncation", posix::Step::kBeforeTruncation, one_byte, false},
  };
  // Pages that shrink and that grow, neither a whole number of blocks.
  struct Sizes {
    const char* name;
    int box;
  };
  for (const Sizes sizes : {Sizes{"shrinks", 7}, Sizes{"grows", 12}}) {
    for (const InterruptedCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", a page that " + sizes.name);
      // A page that grows is given its new size first: cut short, it may hold a hole of NUL
      // bytes, and a run leaves such a page as it is.
      const auto outcome = [](const std::string& content) {
        return content.find('\0') == std::string::npos ? RunOutcome::kStatistics
                                                       : RunOutcome::kNothingSelected;
      };
      // What a run with these boxes makes of a page.
      const auto optimised = [&](const std::string& content) {
        World clean;
        clean.AddPage("a.htm", content);
        clean.host.Check(sizes.box).Field(1, "line").Field(2, "a longer line");
        EXPECT_EQ(clean.Run(), outcome(content));
        return clean.Page("a.htm");
      };
      World w;
      std::string page;
      for (int i = 0; page.size() < 30000; ++i) page += "line " + std::to_string(i) + "&nbsp;\r\n";
      w.AddPage("a.htm", page);
      fs::create_hard_link(w.dir.Page("a.htm"), w.dir.Root() + "/second.htm");
      w.host.Check(sizes.box).Field(1, "line").Field(2, "a longer line");
      const std::string expected = optimised(page);
      ASSERT_NE(expected.size() % 4096, 0u);
      ASSERT_EQ(expected.size() > page.size(), sizes.box == 12);

      kill_step = c.step;
      const pid_t pid = ::fork();
      if (pid == 0) {
        posix::SetStepHook([](posix::Step step) {
          if (step == kill_step) ::raise(SIGKILL);
        });
        w.Run();
        ::_exit(0);
      }
      int status = 0;
      ::waitpid(pid, &status, 0);
      ASSERT_TRUE(WIFSIGNALED(status)) << "the run was cut short at the moment";
      c.between(w.dir.Page("a.htm"));
      const std::string before_next_run = w.Page("a.htm");

      // The next run finishes or sets aside what it found, then optimises the page as asked.
      ASSERT_EQ(w.Run(), c.completed ? RunOutcome::kStatistics : outcome(before_next_run));
      const std::string message = Warning(w);
      if (c.completed) {
        EXPECT_TRUE(w.Page("a.htm") == optimised(expected));
        EXPECT_TRUE(message.ends_with("\r\nЗапись файла «" + w.dir.Page("a.htm") +
                                      "», прерванная при прошлом запуске, завершена: он содержит "
                                      "результат оптимизации."))
            << message;
        EXPECT_EQ(Listing(w.dir.Pages()), std::vector<std::string>{"a.htm"});
      } else {
        EXPECT_TRUE(w.Page("a.htm") == optimised(before_next_run)) << "the repair is kept";
        EXPECT_TRUE(ReadFile(w.dir.Page("a.htm.slimtag-new")) == expected);
        EXPECT_TRUE(message.ends_with(
            "\r\nЗапись файла «" + w.dir.Page("a.htm") +
            "», прерванная при прошлом запуске, не завершена: файл изменён после неё и оставлен "
            "как есть. Его оптимизированное содержимое сохранено в файле «" +
            w.dir.Page("a.htm.slimtag-new") + "»."))
            << message;
        EXPECT_EQ(Listing(w.dir.Pages()), (std::vector<std::string>{"a.htm", "a.htm.slimtag-new"}));
      }
    }
  }
}

struct WatchCase {
  const char* name;
  std::function<void(const std::string& folder)> act;
  bool changed;  // a.htm, for the watch
};

TEST(FolderWatch, SeesWritesToAPageAfterTheMarkWhateverItsTimesSay) {
  const auto write_page = [](const std::string& folder, const char* name) {
    std::fstream f(folder + "/" + name, std::ios::binary | std::ios::in | std::ios::out);
    f.put('Z');  // the same size
  };
  const WatchCase cases[] = {
      {"nothing", [](const std::string&) {}, false},
      {"the page written in place", [&](const std::string& f) { write_page(f, "a.htm"); }, true},
      {"its mode changed", [](const std::string& f) { ::chmod((f + "/a.htm").c_str(), 0600); },
       true},
      {"another page written", [&](const std::string& f) { write_page(f, "b.htm"); }, false},
      {"a side file of the run written",
       [](const std::string& f) { WriteFile(f + "/.slimtag-abcdef.part", "new"); }, false},
  };
  for (const WatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ScratchDir dir;
    WriteFile(dir.Page("a.htm"), "page a");
    WriteFile(dir.Page("b.htm"), "page b");
    posix::Fd folder(::open(dir.Pages().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    posix::FolderWatch watch;
    const int id = watch.Add(folder.get());
    if (id < 0) GTEST_SKIP() << "no inotify watch can be had here";
    write_page(dir.Pages(), "a.htm");  // before the mark: the run read what this left
    const std::uint64_t mark = watch.Mark();
    c.act(dir.Pages());
    EXPECT_EQ(watch.ChangedSince(id, "a.htm", mark), c.changed);
  }
}

struct ClockCase {
  const char* release;
  std::uint64_t f_type;
  bool fine;
};

TEST(FolderWatch, IsLeftOutOnlyWhereEveryChangeGetsATimeOfItsOwn) {
  const ClockCase cases[] = {
      {"6.1.0-28-amd64", 0xEF53, false},       // Debian 12: ext4 at the tick
      {"6.12.48+deb13-amd64", 0xEF53, false},  // Debian 13
      {"6.13.0", 0xEF53, true},                // multigrain ext4
      {"6.18.44-fc-v1374", 0x01021994, true},  // tmpfs
      {"7.0.1", 0x58465342, true},             // XFS
      {"6.13.0", 0x858458F6, false},           // ramfs: at the tick on every kernel
      {"6.13.0", 0x65735546, false},           // FUSE
      {"6.13.0", 0x6969, false},               // NFS
      {"garbage", 0xEF53, false},
      {"6", 0xEF53, false},
  };
  for (const ClockCase& c : cases) {
    SCOPED_TRACE(std::string(c.release) + " " + std::to_string(c.f_type));
    EXPECT_EQ(posix::TimesAreFineGrained(c.release, c.f_type), c.fine);
  }
}

}  // namespace
}  // namespace slimtag
