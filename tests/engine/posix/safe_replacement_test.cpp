// What a run may and may not do to a file: links, owners, access rules, other programs at work,
// and what is left behind. Tests that need other users create them by switching a child process
// to the "nobody" user, which needs root; they skip elsewhere.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "lines/line_output.h"
#include "other_user.h"
#include "posix/committer.h"
#include "posix/fd.h"
#include "posix/step_hook.h"
#include "run/messages.h"
#include "run/stream_optimiser.h"
#include "run_world.h"
#include "string_streams.h"

namespace slimtag {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::World;
using testing::WriteFile;
namespace fs = std::filesystem;

using testing::AsUser;
using testing::kOther;
using testing::kOtherGroup;
constexpr const char* kStopped = "Оптимизация остановлена.\r\n";

#define SKIP_UNLESS_ROOT() \
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user"

struct stat StatOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw std::runtime_error("no " + path);
  return st;
}

void OpenToEveryone(const World& w) {
  for (const std::string& dir : {w.dir.Root(), w.dir.Pages(), w.dir.Work()}) {
    ::chmod(dir.c_str(), 0777);
  }
}

std::string Warning(const World& w) {
  return w.host.Messages().empty() ? "" : w.host.Messages().back().first;
}

TEST(SafeReplacement, PageOfAnotherUserKeepsOwnerGroupAndModeAndTheBackupIsOurs) {
  SKIP_UNLESS_ROOT();
  World w;
  w.AddPage("a.htm", "a&nbsp;b\r\n");
  const std::string page = w.dir.Page("a.htm");
  ASSERT_EQ(::chown(page.c_str(), kOther, kOtherGroup), 0);
  ASSERT_EQ(::chmod(page.c_str(), 06755), 0);
  w.host.Check(6).Check(7);
  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("a.htm"), "ab\r\n");
  const struct stat st = StatOf(page);
  EXPECT_EQ(st.st_uid, kOther);
  EXPECT_EQ(st.st_gid, kOtherGroup);
  EXPECT_EQ(st.st_mode & 07777, 06755u);
  // A set-user-ID copy owned by root would let anyone become root.
  const struct stat copy = StatOf(w.dir.Page("~backup_14'05'09/a.htm"));
  EXPECT_EQ(copy.st_uid, 0u);
  EXPECT_EQ(copy.st_mode & 07777, 0755u);
}

struct LinkCase {
  const char* name;
  uid_t link_owner;
  uid_t target_owner;
  bool followed;
};

TEST(SafeReplacement, LinkIsFollowedOnlyWhenItsOwnerIsUsOrTheTargetsOwner) {
  SKIP_UNLESS_ROOT();
  const LinkCase cases[] = {
      {"our link to another's page", 0, kOther, true},
      {"the owner's own link", kOther, kOther, true},
      {"another's link to our file", kOther, 0, false},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    const std::string target = w.dir.Root() + "/target.htm";
    WriteFile(target, "a&nbsp;\r\n");
    ASSERT_EQ(::chown(target.c_str(), c.target_owner, c.target_owner), 0);
    fs::create_symlink(target, w.dir.Page("link.htm"));
    ASSERT_EQ(::lchown(w.dir.Page("link.htm").c_str(), c.link_owner, c.link_owner), 0);
    w.host.AddEntry("link.htm").Check(7);
    if (c.followed) {
      EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
      EXPECT_EQ(ReadFile(target), "a\r\n");
      EXPECT_EQ(StatOf(target).st_uid, c.target_owner);
    } else {
      EXPECT_EQ(w.Run(), RunOutcome::kFailed);
      EXPECT_EQ(ReadFile(target), "a&nbsp;\r\n");
      EXPECT_EQ(Warning(w), std::string(kStopped) + "Файл «" + w.dir.Page("link.htm") +
                                "» не обработан: это символическая ссылка другого пользователя, "
                                "а не владельца файла, на который она указывает.");
    }
    EXPECT_TRUE(fs::is_symlink(w.dir.Page("link.htm")));
  }
}

struct TempCase {
  const char* name;
  std::function<void(const std::string& victim)> plant;  // makes "slimtag.tmp" in the work dir
  bool needs_root;
};

TEST(SafeReplacement, TemporaryFileThatIsNotAPlainFileOfOursStopsTheRunBeforeAnyPage) {
  const TempCase cases[] = {
      {"a link", [](const std::string& victim) { fs::create_symlink(victim, "slimtag.tmp"); },
       false},
      {"a dangling link", [](const std::string&) { fs::create_symlink("nowhere", "slimtag.tmp"); },
       false},
      {"a second name of a file",
       [](const std::string& victim) { fs::create_hard_link(victim, "slimtag.tmp"); }, false},
      {"a pipe", [](const std::string&) { ::mkfifo("slimtag.tmp", 0666); }, false},
      {"another user's file",
       [](const std::string&) {
         WriteFile("slimtag.tmp", "theirs");
         ::chown("slimtag.tmp", kOther, kOtherGroup);
       },
       true},
  };
  for (const TempCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_root && ::geteuid() != 0) continue;
    World w;
    const std::string victim = w.dir.Root() + "/victim";
    WriteFile(victim, "precious");
    c.plant(victim);
    w.AddPage("a.htm", "a&nbsp;\r\n");
    w.host.Check(7);
    EXPECT_EQ(w.Run(), RunOutcome::kFailed);
    EXPECT_EQ(Warning(w), std::string(kStopped) +
                              "Временный файл «slimtag.tmp» не используется: это не обычный файл "
                              "текущего пользователя (ссылка, чужой файл или файл с другими "
                              "жёсткими ссылками). Удалите его и повторите.");
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_EQ(w.Page("a.htm"), "a&nbsp;\r\n");
    EXPECT_EQ(w.host.LastStarted(), "") << "stopped before any page";
  }
}

TEST(SafeReplacement, PageTheUserMayNotWriteIsLeftAlone) {
  SKIP_UNLESS_ROOT();
  struct Case {
    const char* name;
    uid_t owner;
    mode_t mode;
  };
  const Case cases[] = {
      {"our own read-only page", kOther, 0444},
      {"another user's page in a shared folder", 0, 0644},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    OpenToEveryone(w);
    w.AddPage("a.htm", "a&nbsp;\r\n");
    ASSERT_EQ(::chown(w.dir.Page("a.htm").c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(::chmod(w.dir.Page("a.htm").c_str(), c.mode), 0);
    w.host.Check(7);
    const int status = AsUser(kOther, {kOtherGroup}, [&] {
      return w.Run() == RunOutcome::kFailed &&
                     Warning(w) == std::string(kStopped) + "Файл «" + w.dir.Page("a.htm") +
                                       "» защищён от записи (он остался без изменений)."
                 ? 0
                 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(w.Page("a.htm"), "a&nbsp;\r\n");
    EXPECT_EQ(StatOf(w.dir.Page("a.htm")).st_uid, c.owner);
  }
}

// The identity and metadata that a rewrite must keep.
struct Kept {
  ino_t ino;
  uid_t uid;
  gid_t gid;
  mode_t mode;
  nlink_t links;
  std::map<std::string, std::string> attributes;
};

Kept KeptOf(const std::string& path) {
  const struct stat st = StatOf(path);
  Kept k{st.st_ino, st.st_uid, st.st_gid, st.st_mode, st.st_nlink, {}};
  char names[4096];
  const ssize_t n = ::listxattr(path.c_str(), names, sizeof names);
  for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    char value[1024];
    const ssize_t size = ::getxattr(path.c_str(), names + at, value, sizeof value);
    k.attributes[names + at] = std::string(value, size > 0 ? std::size_t(size) : 0);
  }
  return k;
}

// A POSIX access list as the kernel stores it: the owner rw, user nobody r (or given), group r.
std::string AccessList(std::uint16_t nobody = 4) {
  struct Entry {
    std::uint16_t tag, perm;
    std::uint32_t id;
  };
  const std::uint32_t version = 2;
  const Entry entries[] = {
      {0x01, 6, 0xffffffff},      {0x02, nobody, kOther}, {0x04, 4, 0xffffffff},
      {0x10, nobody, 0xffffffff}, {0x20, 0, 0xffffffff},
  };
  std::string list(reinterpret_cast<const char*>(&version), sizeof version);
  list.append(reinterpret_cast<const char*>(entries), sizeof entries);
  return list;
}

TEST(SafeReplacement, PageKeepsItsAccessListAndAttributesThroughTheRename) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  const std::string page = w.dir.Page("a.htm");
  const std::string acl = AccessList();
  if (::setxattr(page.c_str(), "user.origin", "editor", 6, 0) != 0 ||
      ::setxattr(page.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
    GTEST_SKIP() << "no extended attributes or access lists here: " << std::strerror(errno);
  }
  const Kept before = KeptOf(page);
  w.host.Check(7);
  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
  const Kept after = KeptOf(page);
  EXPECT_EQ(after.attributes, before.attributes);
  EXPECT_EQ(after.mode, before.mode);
  EXPECT_EQ(after.attributes.count("system.posix_acl_access"), 1u);
}

TEST(SafeReplacement, FatAndExfatThroughFuseTakeRunsWithBackups) {
  SKIP_UNLESS_ROOT();
  // How to make the medium in an image, how to mount it, and whether from a loop device.
  const std::tuple<const char*, const char*, bool> media[] = {
      {"mkfs.vfat", "fusefat -o rw+", false}, {"mkfs.exfat", "mount.exfat-fuse", true}};
  for (const auto& [make, mount, loop] : media) {
    SCOPED_TRACE(mount);
    World w;
    const std::string image = w.dir.Root() + "/medium.img", device = "$(cat " + image + ".dev)";
    const std::string made = "truncate -s 16M " + image + " && " + make + " " + image + " && " +
                             (loop ? "losetup -f --show " : "echo ") + image + " >" + image +
                             ".dev";
    if (std::system(
            (made + " && " + mount + " " + device + " " + w.dir.Pages() + " >/dev/null 2>&1")
                .c_str()) != 0) {
      GTEST_SKIP() << mount << " cannot make or mount its medium here";
    }
    w.AddPage("a.htm", "a&nbsp;\r\n");
    w.host.Check(6).Check(7);
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics) << Warning(w);
    EXPECT_EQ(w.Page("a.htm"), "a\r\n");
    EXPECT_EQ(ReadFile(w.dir.Page("~backup_14'05'09/a.htm")), "a&nbsp;\r\n");
    std::system(("umount " + w.dir.Pages() + (loop ? " && losetup -d " + device : "")).c_str());
  }
}

TEST(SafeReplacement, BackupCopyIsReadableByNoOneThePageShutsOut) {
  SKIP_UNLESS_ROOT();
  const std::string acl = AccessList(5);  // nobody may read and enter
  for (const bool by_list : {false, true}) {
    SCOPED_TRACE(by_list ? "a default access list lets nobody in" : "set-group-ID, nobody's group");
    World w;
    w.AddPage("a.htm", "secret&nbsp;\r\n");
    ASSERT_EQ(::chmod(w.dir.Page("a.htm").c_str(), 0640), 0);
    OpenToEveryone(w);
    const std::string pages = w.dir.Pages();
    const char* folder = pages.c_str();
    if (by_list ? ::setxattr(folder, "system.posix_acl_default", acl.data(), acl.size(), 0) != 0
                : ::chown(folder, kOther, kOtherGroup) != 0 || ::chmod(folder, 02777) != 0) {
      GTEST_SKIP() << std::strerror(errno);
    }
    w.host.Check(6).Check(7);
    ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
    const std::string copy = w.dir.Page("~backup_14'05'09/a.htm");
    for (const std::string& file : {w.dir.Page("a.htm"), copy}) {
      EXPECT_EQ(AsUser(kOther, {kOtherGroup}, [&] { return ::open(file.c_str(), O_RDONLY) < 0; }),
                1);
    }
  }
}

// Pages whose lines reach the temporary file in every way it takes them (gathered in its block,
// written straight from a long line with the terminator, a block's whole lines at once) and whose
// reads end in every place: each page on the disk is what the passes give in memory.
TEST(SafeReplacement, PagesOnTheDiskAreWhatThePassesGiveInMemory) {
  const std::string long_line = "<p>  <em>x</em>  </p>&nbsp;" + std::string(20000, 'y');
  const std::string pages[] = {
      "",
      "<em>a</em>\r\n\r\n  b  \r\n",
      long_line,
      long_line + "\r\n" + long_line + "\r\n<p></p>\r\nz\r",
      "a\r\n" + long_line + "\nq\r\n  \r\n" + std::string(100, '<') + "\r\r\n",
      "a\r" + long_line + "\rb",
      std::string((std::size_t(1) << 20) - 1, ' ') + "\r\n<strong>b</strong>  \r\n",
  };
  World w;
  for (std::size_t i = 0; i < std::size(pages); ++i) {
    w.AddPage("p" + std::to_string(i) + ".htm", pages[i]);
  }
  RunOptions options;
  for (const int box : {1, 2, 3, 4, 7, 8, 9, 10, 11}) {
    w.host.Check(box);
    options.box[static_cast<std::size_t>(box)] = 1;
  }
  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  for (std::size_t i = 0; i < std::size(pages); ++i) {
    testing::StringSource in(pages[i]);
    testing::StringSink out;
    OptimiseStream(in, out, options, {}, Encoding::Utf8, LineEndRule::kCrLf);
    EXPECT_EQ(w.Page("p" + std::to_string(i) + ".htm"), out.text) << "page " << i;
  }
}

TEST(SafeReplacement, PageWithSeveralNamesIsRewrittenInItsOwnFile) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  fs::create_hard_link(w.dir.Page("a.htm"), w.dir.Root() + "/second-name.htm");
  const Kept before = KeptOf(w.dir.Page("a.htm"));
  w.host.Check(7);
  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(ReadFile(w.dir.Root() + "/second-name.htm"), "a\r\n");
  const Kept after = KeptOf(w.dir.Page("a.htm"));
  EXPECT_EQ(after.ino, before.ino);
  EXPECT_EQ(after.links, 2u);
  EXPECT_EQ(Listing(w.dir.Pages()), std::vector<std::string>{"a.htm"}) << "no recovery file left";
}

TEST(SafeReplacement, TeamMembersRewriteKeepsTheOwnersPage) {
  SKIP_UNLESS_ROOT();
  World w;
  OpenToEveryone(w);
  w.AddPage("a.htm", "a&nbsp;\r\n");
  const std::string page = w.dir.Page("a.htm");
  // Root's page, writable by the team group, which nobody is in.
  ASSERT_EQ(::chown(page.c_str(), 0, kOtherGroup), 0);
  ASSERT_EQ(::chmod(page.c_str(), 0664), 0);
  const Kept before = KeptOf(page);
  w.host.Check(7);
  EXPECT_EQ(
      AsUser(kOther, {kOtherGroup}, [&] { return w.Run() == RunOutcome::kStatistics ? 0 : 1; }), 0);
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
  const Kept after = KeptOf(page);
  EXPECT_EQ(after.ino, before.ino);
  EXPECT_EQ(after.uid, 0u);
  EXPECT_EQ(after.gid, kOtherGroup);
  EXPECT_EQ(after.mode, before.mode);
}

struct ChangeCase {
  const char* name;
  std::function<void(const std::string& page)> change;
  std::string left;  // what the page holds afterwards; empty: it is gone
};

TEST(SafeReplacement, EditMadeByAnotherProgramDuringTheRunIsNeverUndone) {
  const ChangeCase cases[] = {
      {"an append", [](const std::string& page) { std::ofstream(page, std::ios::app) << "more"; },
       "a&nbsp;\r\nmore"},
      {"a save by rename",
       [](const std::string& page) {
         WriteFile(page + ".new", "saved");
         fs::rename(page + ".new", page);
       },
       "saved"},
      {"a deletion", [](const std::string& page) { fs::remove(page); }, ""},
  };
  // Before the page is handed over; after its last check, just before its new file is put in;
  // and, behind a page put in by an exchange of names, before its own check.
  for (const ChangeCase& c : cases) {
    for (const char* when :
         {"", ", page with two names", ", after the last check", ", a later page"}) {
      SCOPED_TRACE(c.name + std::string(when));
      World w;
      if (when[2] == 'l') w.AddPage("0.htm", "0&nbsp;\r\n");
      w.AddPage("a.htm", "a&nbsp;\r\n");
      if (when[2] == 'p') fs::create_hard_link(w.dir.Page("a.htm"), w.dir.Root() + "/b.htm");
      w.host.Check(7);
      // Where the file system cannot exchange names, the check before the rename is all there is.
      const auto exchange = [&] {
        return ::renameat2(AT_FDCWD, w.dir.Pages().c_str(), AT_FDCWD, w.dir.Work().c_str(),
                           RENAME_EXCHANGE) == 0;
      };
      if ((when[2] == 'a' || when[2] == 'l') && !(exchange() && exchange())) continue;
      static std::function<void()> at_last_check;
      at_last_check = [&] { c.change(w.dir.Page("a.htm")); };
      if (when[2] == 'a' || when[2] == 'l') {
        posix::SetStepHook([](posix::Step step) {
          if (step == posix::Step::kPageChecked) std::exchange(at_last_check, nullptr)();
        });
      } else {
        w.platform.Before("copy-over", std::exchange(at_last_check, nullptr));
      }
      EXPECT_EQ(w.Run(), RunOutcome::kFailed);
      posix::SetStepHook(nullptr);
      EXPECT_EQ(Warning(w), std::string(kStopped) + "Файл «" + w.dir.Page("a.htm") +
                                "» изменён другой программой во время оптимизации (он остался "
                                "таким, каким его сохранила та программа).");
      if (c.left.empty()) {
        EXPECT_FALSE(fs::exists(w.dir.Page("a.htm")));
      } else {
        EXPECT_EQ(w.Page("a.htm"), c.left);
      }
      for (const std::string& name : Listing(w.dir.Pages())) {
        EXPECT_FALSE(name.starts_with(".slimtag-")) << name << " left behind";
      }
    }
  }
}

TEST(SafeReplacement, LimitsOfTheProcessStopOnlyThePageTheyMust) {
  // The limit, and whether the large page fails under it.
  const std::tuple<const char*, int, rlim_t, bool> limits[] = {
      {"ulimit -n 20: a page a batch", RLIMIT_NOFILE, 20, false},
      {"ulimit -f 4", RLIMIT_FSIZE, 4096, true}};
  for (const auto& [name, resource, limit, too_large] : limits) {
    SCOPED_TRACE(name);
    const pid_t pid = ::fork();  // a limit holds for the whole process
    if (pid == 0) {
      bool ok = false;
      {
        World w;
        w.AddPage("large.htm", std::string(8000, 'a') + "&nbsp;\r\n");
        for (int i = 0; i < 40; ++i) w.AddPage(std::to_string(i) + ".htm", "a&nbsp;\r\n");
        w.host.Check(7).KeepGoingBesideEachPage();
        const struct rlimit rl { limit, limit };
        ok = ::setrlimit(resource, &rl) == 0 && w.Run() != RunOutcome::kFailed &&
             Listing(w.dir.Pages()).size() == 41 && w.Page("39.htm") == "a\r\n" &&
             w.host.Failures().size() == (too_large ? 1u : 0u) &&
             (!too_large || PageFailureText(w.host.Failures()[0]) ==
                                "Не удалось записать файл «" + w.dir.Page("large.htm") +
                                    "» (он остался без изменений): файл слишком велик.");
      }
      ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
  }
}

// Enough pages for batches to be committed on the commit thread while later pages are prepared
// (a batch is handed over once it holds 1 MB, here some sixty pages); in memory every batch is
// committed on the run's own thread.
TEST(SafeReplacement, FailureWhileAnEarlierBatchIsCommittedKeepsTheListOrder) {
  constexpr int kPages = 100;
  const auto name = [](int i) {
    char text[16];
    std::snprintf(text, sizeof text, "p%03d.htm", i);
    return std::string(text);
  };
  std::string old_content, new_content;
  for (int line = 0; line < 600; ++line) {
    old_content += "<p>a line of the page</p>&nbsp;\r\n";
    new_content += "<p>a line of the page</p>\r\n";
  }
  struct Case {
    const char* name;
    int at_title;  // the page whose title sets the scene
    std::function<void(const std::string& folder)> act;
    int failed;  // the first page left alone
    std::string failed_content;
    std::string warning;
  };
  const Case cases[] = {
      {"another program saves a page of the first batch before it is handed over", 20,
       [&](const std::string& folder) { WriteFile(folder + "/" + name(10), "saved"); }, 10, "saved",
       "» изменён другой программой во время оптимизации (он остался таким, каким его сохранила "
       "та программа)."},
      {"a page after the batch handed over became a pipe", 70,
       [&](const std::string& folder) {
         fs::remove(folder + "/" + name(80));
         ASSERT_EQ(::mkfifo((folder + "/" + name(80)).c_str(), 0644), 0);
       },
       80, "", "» не обработан: это не обычный файл (канал, устройство или сокет)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    for (int i = 0; i < kPages; ++i) w.AddPage(name(i), old_content);
    w.host.Check(7);
    w.host.on_started = [&](const std::string& started) {
      if (started == name(c.at_title)) c.act(w.dir.Pages());
    };
    EXPECT_EQ(w.Run(), RunOutcome::kFailed);
    EXPECT_EQ(Warning(w),
              std::string(kStopped) + "Файл «" + w.dir.Page(name(c.failed)) + c.warning);
    for (int i = 0; i < kPages; ++i) {
      if (i != c.failed) {
        ASSERT_EQ(w.Page(name(i)), i < c.failed ? new_content : old_content) << name(i);
      } else if (!c.failed_content.empty()) {
        EXPECT_EQ(w.Page(name(i)), c.failed_content);
      }
    }
    for (const std::string& left : Listing(w.dir.Pages())) {
      EXPECT_FALSE(left.starts_with(".slimtag-")) << left << " left behind";
    }
    EXPECT_FALSE(fs::exists("slimtag.tmp"));
    // Exactly the pages replaced are reported, in order, and counted.
    std::vector<std::string> replaced;
    for (int i = 0; i < c.failed; ++i) {
      replaced.push_back(name(i) + " " + std::to_string(old_content.size()) + " " +
                         std::to_string(new_content.size()));
    }
    EXPECT_EQ(w.host.PagesDone(), replaced);
    EXPECT_EQ(w.optimiser.State().Stats.FilesDone, c.failed);
    EXPECT_EQ(w.optimiser.State().Stats.SizeBefore,
              static_cast<std::int64_t>(old_content.size()) * c.failed);
    EXPECT_EQ(w.optimiser.State().Stats.SizeAfter,
              static_cast<std::int64_t>(new_content.size()) * c.failed);
  }
}

TEST(Committer, RunsJobsInOrderOffTheCallersThreadAndKeepsAFailureUntilTaken) {
  std::vector<int> order;
  bool on_callers_thread = false;
  {
    posix::Committer committer;
    const std::thread::id caller = std::this_thread::get_id();
    for (int i = 0; i < 200; ++i) {
      committer.Post([&, i, held = std::make_shared<int>(i)] {
        on_callers_thread = on_callers_thread || std::this_thread::get_id() == caller;
        order.push_back(*held);
        if (i == 50) throw FileError(FileError::Operation::kReplace, "p050.htm", EIO);
      });
    }
    committer.Wait();
    EXPECT_TRUE(committer.Failed());
    const std::exception_ptr failure = committer.TakeFailure();
    ASSERT_TRUE(failure);
    try {
      std::rethrow_exception(failure);
    } catch (const FileError& e) {
      EXPECT_EQ(e.path, "p050.htm");
    }
    EXPECT_FALSE(committer.Failed());
    EXPECT_FALSE(committer.TakeFailure()) << "taken once";
    committer.Post([&] { order.push_back(-1); });
  }  // the job in hand is finished before the committer goes
  ASSERT_EQ(order.size(), 201u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(order.back(), -1);
  EXPECT_FALSE(on_callers_thread);
}

TEST(SafeReplacement, FileWithTwoNamesInTheListIsRewrittenOnce) {
  struct Case {
    const char* name;
    std::function<void(const std::string& from, const std::string& to)> second_name;
  };
  const Case cases[] = {
      {"a link", [](auto& from, auto& to) { fs::create_symlink(from, to); }},
      {"a hard link",
       [](auto& from, auto& to) { fs::create_hard_link(fs::path(to).parent_path() / from, to); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    WriteFile(w.dir.Page("b.htm"), "x\r\n");
    c.second_name("b.htm", w.dir.Page("a.htm"));
    w.host.AddEntry("a.htm").AddEntry("b.htm");  // a.htm leads to b.htm and comes first
    w.host.Check(6).Check(12).Field(1, "x").Field(2, "xy");
    ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
    EXPECT_EQ(w.Page("b.htm"), "xy\r\n") << "x → xy applied once";
    EXPECT_EQ(w.optimiser.State().Stats.FilesDone, 1);
    const std::string backup = w.dir.Page("~backup_14'05'09");
    EXPECT_EQ(Listing(backup), std::vector<std::string>{"a.htm"});
    EXPECT_EQ(ReadFile(backup + "/a.htm"), "x\r\n");
  }
}

TEST(SafeReplacement, PageThatBecameAPipeStopsTheRunInsteadOfWaiting) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  w.host.AddEntry("pipe.htm");  // listed as a page, a pipe by the time the run gets to it
  ASSERT_EQ(::mkfifo(w.dir.Page("pipe.htm").c_str(), 0644), 0);
  w.host.Check(7);
  EXPECT_EQ(w.Run(), RunOutcome::kFailed);
  EXPECT_EQ(Warning(w), std::string(kStopped) + "Файл «" + w.dir.Page("pipe.htm") +
                            "» не обработан: это не обычный файл (канал, устройство или сокет).");
  EXPECT_EQ(w.Page("a.htm"), "a\r\n");
}

TEST(SafeReplacement, RunningOutOfMemoryStopsAtThePageAndLeavesItWhole) {
  for (const char* when : {"read", "write"}) {
    SCOPED_TRACE(when);
    World w;
    w.AddPage("a.htm", "a&nbsp;\r\n");
    w.host.Check(7).Check(14);
    w.platform.OutOfMemoryAt(when);
    EXPECT_EQ(w.Run(), RunOutcome::kFailed);
    EXPECT_EQ(Warning(w), std::string(kStopped) + "Недостаточно памяти для файла «" +
                              w.dir.Page("a.htm") + "» (он остался без изменений).");
    EXPECT_EQ(w.Page("a.htm"), "a&nbsp;\r\n");
    EXPECT_FALSE(fs::exists("slimtag.tmp"));
    w.platform.OutOfMemoryAt("");
    EXPECT_EQ(w.Run(), RunOutcome::kStatistics) << "the next run is not disturbed";
  }
  // Outside a page's rewrite, whatever escapes ends the run as a failure does, no backup left.
  const std::pair<std::function<void()>, const char*> escaping[] = {
      {[] { throw std::bad_alloc(); }, "недостаточно памяти"},
      {[] { throw std::system_error(EAGAIN, std::generic_category()); },
       "ресурс временно недоступен"},
      {[] { throw std::logic_error("guard"); }, "внутренняя ошибка программы"},
  };
  for (const auto& [thrown, reason] : escaping) {
    World w;
    w.AddPage("a.htm", "a&nbsp;\r\n");
    w.host.Check(6).Check(7);
    w.platform.Before("open", thrown);
    EXPECT_EQ(w.Run(), RunOutcome::kFailed);
    EXPECT_EQ(Warning(w), std::string(kStopped) + "Работа в папке «" + w.dir.Pages() +
                              "» прервана: " + reason + ".");
    EXPECT_EQ(Listing(w.dir.Pages()), std::vector<std::string>{"a.htm"});
  }
}

TEST(SafeReplacement, PageNameOfTheLongestLengthIsProcessedOnBothPaths) {
  for (const bool several_names : {false, true}) {
    SCOPED_TRACE(several_names ? "in its own file" : "by rename");
    World w;
    const std::string name = std::string(251, 'n') + ".htm";
    w.AddPage(name, "a&nbsp;\r\n");
    if (several_names) fs::create_hard_link(w.dir.Page(name), w.dir.Root() + "/second.htm");
    w.host.Check(6).Check(7);
    ASSERT_EQ(w.Run(), RunOutcome::kStatistics) << Warning(w);
    EXPECT_EQ(w.Page(name), "a\r\n");
    EXPECT_EQ(ReadFile(w.dir.Page("~backup_14'05'09/" + name)), "a&nbsp;\r\n");
  }
}

TEST(SafeReplacement, RewriteCutShortIsCompletedByTheNextRunWhichSaysSo) {
  World w;
  std::string page, expected;
  while (page.size() < (std::size_t(8) << 20)) {
    page += "line&nbsp;of a page with two names\r\n";
    expected += "lineof a page with two names\r\n";
  }
  w.AddPage("a.htm", page);
  fs::create_hard_link(w.dir.Page("a.htm"), w.dir.Root() + "/second.htm");
  w.host.Check(7);
  // Killed while the page is rewritten, its new content safe beside it.
  const pid_t pid = ::fork();
  if (pid == 0) {
    posix::SetStepHook([](posix::Step step) {
      if (step == posix::Step::kHalfWritten) ::raise(SIGKILL);
    });
    w.Run();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_FALSE(w.Page("a.htm") == page || w.Page("a.htm") == expected) << "cut in the middle";

  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_TRUE(w.Page("a.htm") == expected);
  const std::string message = Warning(w);
  const std::string note = "\r\nЗапись файла «" + w.dir.Page("a.htm") +
                           "», прерванная при прошлом запуске, завершена: он содержит результат "
                           "оптимизации.";
  EXPECT_TRUE(message.ends_with(note)) << message;
  EXPECT_EQ(Listing(w.dir.Pages()), std::vector<std::string>{"a.htm"});
}

TEST(SafeReplacement, SideFilesOfAKilledRunAreRemovedUnlessALiveProcessHoldsThem) {
  World w;
  w.AddPage("a.htm", "a&nbsp;\r\n");
  WriteFile(w.dir.Page(".slimtag-Killed.part"), "half a page");
  WriteFile(w.dir.Page(".slimtag-InUse1.part"), "another run's page");
  const int held = ::open(w.dir.Page(".slimtag-InUse1.part").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  w.host.Check(7);
  ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(Listing(w.dir.Pages()), (std::vector<std::string>{".slimtag-InUse1.part", "a.htm"}));
  ::close(held);
}

// Where the working directory and the pages lie on two file systems, the kernel cannot copy
// between them and the copy goes through the program's own buffer, which is kept from copy to copy:
// contents of several sizes, each from an offset to another, in turn through the same buffer.
TEST(CopyAcrossFileSystems, CopiesEveryByteFromTheOffsetThroughOneBuffer) {
  testing::ScratchDir dir;
  struct stat here {
  }, shm{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.Root().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm beside " << dir.Root();
  }
  const std::string source = "/dev/shm/slimtag-copy-" + std::to_string(::getpid());
  // A chroot or container may mount /dev/shm read-only or give the user no room there.
  if (const int probe = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      probe < 0) {
    GTEST_SKIP() << "/dev/shm cannot be written here: " << std::strerror(errno);
  } else {
    ::close(probe);
  }
  const struct {
    std::size_t size;
    off_t from, to;
  } cases[] = {{0, 0, 0}, {1, 0, 3}, {(1u << 20) + 17, 5, 0}, {3u << 20, 1000, 7}};
  for (const auto& c : cases) {
    std::string content(c.size, '\0');
    for (std::size_t i = 0; i < c.size; ++i)
      content[i] = static_cast<char>('a' + (i * 7 + c.size) % 26);
    WriteFile(source, content);
    const std::string target = dir.Page("copy.htm");
    WriteFile(target, std::string(static_cast<std::size_t>(c.to), '-'));
    posix::Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    posix::Fd out(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(in && out);
    EXPECT_EQ(posix::CopyFrom(in.get(), c.from, out.get(), c.to), 0);
    const std::size_t from = std::min<std::size_t>(static_cast<std::size_t>(c.from), c.size);
    EXPECT_TRUE(ReadFile(target) ==
                std::string(static_cast<std::size_t>(c.to), '-') + content.substr(from))
        << c.size << " bytes from " << c.from << " to " << c.to;
  }
  ::unlink(source.c_str());
}

}  // namespace
}  // namespace slimtag
