// The batch tool where others work beside it: a tree whose owner swaps a folder after the listing,
// a page that another program saves while its batch waits, and names made to write to a terminal.

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "batch_harness.h"
#include "name_quoting.h"
#include "other_user.h"

namespace slimtag {
namespace {

using testing::Batch;
using testing::BatchResult;
using testing::FailingPlatform;
using testing::Timeline;
using testing::WriteFile;
namespace fs = std::filesystem;

using testing::kOther;

struct FolderSwap {
  const char* name;
  // What the tree's owner puts in place of m/ after the listing; elsewhere is a folder the owner
  // cannot write, with a page of its own.
  std::function<void(const std::string& m, const std::string& elsewhere)> swap;
};

// A folder of the owner's renamed into the place of another is BatchFiles' case.
TEST(BatchHostile, AFolderSwappedAfterTheListingStopsTheRunNamingIt) {
  const FolderSwap cases[] = {
      {"a link to another user's folder",
       [](const std::string& m, const std::string& elsewhere) {
         fs::rename(m, m + ".away");
         fs::create_directory_symlink(elsewhere, m);
       }},
  };
  for (const FolderSwap& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    b.AddPages({{"a.htm", "a&nbsp;\r\n"},
                {"m/b.htm", "b&nbsp;\r\n"},
                {"n/c.htm", "c&nbsp;\r\n"},
                {"z/d.htm", "d&nbsp;\r\n"}});
    const std::string elsewhere = b.dir.Root() + "/third";
    fs::create_directory(elsewhere);
    WriteFile(elsewhere + "/b.htm", "third&nbsp;\r\n");
    if (::geteuid() == 0) {
      for (const auto& entry : fs::recursive_directory_iterator(b.dir.Pages())) {
        ASSERT_EQ(::lchown(entry.path().c_str(), kOther, kOther), 0);
      }
      ASSERT_EQ(::chown(b.dir.Pages().c_str(), kOther, kOther), 0);
      ::chmod(b.dir.Root().c_str(), 0755);
    }
    Timeline timeline;
    FailingPlatform platform(b.posix, timeline);
    const std::string m = b.dir.Page("m");
    platform.Before(
        "open-folder",
        [&] { ASSERT_TRUE(testing::AsOwner([&] { c.swap(m, elsewhere); })) << "the owner swaps"; },
        m);
    const BatchResult r = b.RunWith(platform, {"-r", "--nbsp", "{pages}"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, "slimtag-batch: Оптимизация остановлена.\nПапка «" + m +
                         "» подменена или изменена другой программой во время оптимизации; в ней "
                         "ничего не записано.\n");
    EXPECT_EQ(b.Page("a.htm"), "a\r\n") << "the page before is done";
    EXPECT_EQ(testing::ReadFile(elsewhere + "/b.htm"), "third&nbsp;\r\n");
    EXPECT_EQ(b.Page("m.away/b.htm"), "b&nbsp;\r\n");
    EXPECT_EQ(b.Page("z/d.htm"), "d&nbsp;\r\n") << "nothing after the failure";
  }
}

TEST(BatchHostile, OnlyPagesOnTheDiskAreReportedWhenABatchFails) {
  Batch b;
  b.AddPages({{"a.htm", "a&nbsp;\r\n"}, {"b.htm", "b&nbsp;\r\n"}, {"c.htm", "c&nbsp;\r\n"}});
  Timeline timeline;
  FailingPlatform platform(b.posix, timeline);
  // Another program saves b.htm while the batch of all three waits to be put in place.
  platform.Before("commit", [&] { WriteFile(b.dir.Page("b.htm"), "saved"); });
  const BatchResult r = b.RunWith(platform, {"-v", "--report", "json", "--nbsp", "{pages}"});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_EQ(r.err, "a.htm: 9 → 3 байт, удалено 67%\n");
  EXPECT_NE(r.out.find("\n  \"files_done\": 1,\n  \"size_before\": 9,\n  \"size_after\": 3,\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n  \"pages\": [\n    {\n      \"name\": \"a.htm\",\n      "
                       "\"size_before\": 9,\n      \"size_after\": 3\n    }\n  ],\n"),
            std::string::npos)
      << r.out;
}

struct QuotingCase {
  const char* name;
  std::string raw;
  std::string shown;
};

TEST(NameQuoting, NamesThatCouldWriteToATerminalAreQuotedAsGnuLsQuotesThem) {
  const QuotingCase cases[] = {
      {"plain", "index.html", "index.html"},
      {"blanks and Cyrillic stay readable", "моя страница.htm", "моя страница.htm"},
      {"a title escape", "a\033]0;owned\007b.html", "'a'$'\\033'']0;owned'$'\\a''b.html'"},
      {"clear screen", "\033[2J.htm", "''$'\\033''[2J.htm'"},
      {"a forged line", "x.htm\nsub/y.htm: 1 → 1 байт", "'x.htm'$'\\n''sub/y.htm: 1 → 1 байт'"},
      {"a quote beside a control", "it's\t.htm", "'it'\\''s'$'\\t''.htm'"},
      {"a C1 control (CSI)",
       "a\xC2\x9B"
       "2J.htm",
       "'a'$'\\302\\233''2J.htm'"},
      {"windows-1251 bytes", "\xCF\xF0\xE8.htm", "''$'\\317'''$'\\360'''$'\\350''.htm'"},
      {"an escape at the end", "a\033", "'a'$'\\033'"},
  };
  for (const QuotingCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QuotedForTerminal(c.raw), c.shown);
  }
}

TEST(NameQuoting, VerboseLinesProgressAndWarningsNeverCarryAControlCharacter) {
  Batch b;
  const std::string evil = "a\033[2Jb.htm";
  b.AddPages({{evil, "a&nbsp;\r\n"}, {"c.htm", "c&nbsp;\r\n"}});
  b.terminal = true;
  const BatchResult r = b.Run({"-v", "--nbsp", "{pages}"});
  EXPECT_EQ(r.code, kExitStatistics);
  EXPECT_NE(r.err.find("'a'$'\\033''[2Jb.htm': 9 → 3 байт"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("\033[2J"), std::string::npos) << "the raw sequence reached the terminal";

  // A failure names the page quoted too, and the JSON document carries the name as it is.
  Timeline timeline;
  FailingPlatform platform(b.posix, timeline);
  platform.FailAtFirst("open", EACCES);
  const BatchResult failed = b.RunWith(platform, {"--nbsp", "{pages}"});
  EXPECT_EQ(failed.code, kExitFailed);
  EXPECT_NE(failed.err.find("«'" + b.dir.Pages() + "/a'$'\\033''[2Jb.htm'»"), std::string::npos)
      << failed.err;
  const BatchResult json = b.RunWith(platform, {"--report", "json", "--nbsp", "{pages}"});
  EXPECT_NE(json.out.find("a\\u001b[2Jb.htm"), std::string::npos) << json.out;
}

}  // namespace
}  // namespace slimtag
