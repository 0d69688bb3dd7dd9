#include "batch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "batch_harness.h"

namespace slimtag {
namespace {

using testing::Batch;
using testing::BatchResult;
using testing::FailingPlatform;
using testing::ReadFile;
using testing::ScratchDir;
using testing::Timeline;
using testing::VerboseNames;
using testing::WriteFile;
namespace fs = std::filesystem;

const std::string kUsageLine =
    "Использование: slimtag-batch [ПАРАМЕТР]... ПАПКА [ИМЯ]...\n"
    "  или:  slimtag-batch [ПАРАМЕТР]... ФАЙЛ...\n";

struct OutcomeCase {
  const char* name;
  std::map<std::string, std::string> pages;
  std::vector<std::string> args;
  int code;
  std::string out;
};

TEST(Batch, ExitCodeAndReportOnOut) {
  const OutcomeCase cases[] = {
      {"statistics",
       {{"a.htm", "a&nbsp;\r\n"}},
       {"--nbsp", "{pages}"},
       kExitStatistics,
       "1 файл(ов) обработано.\nРазмер до оптимизации: 9 байт.\nРазмер после оптимизации: 3 "
       "байт.\n\nУдалено: 6 байт. (67%)\n"},
      {"no page in the folder",
       {{"notes.txt", "x"}},
       {"{pages}"},
       kExitNothingSelected,
       "Файлы не выбраны! \n"},
      {"empty folder", {}, {"--backup", "{pages}"}, kExitNothingSelected, "Файлы не выбраны! \n"},
      {"only empty pages",
       {{"a.htm", ""}, {"b.html", ""}},
       {"{pages}"},
       kExitNothingSelected,
       "Файлы не выбраны! \n"},
  };
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    for (const auto& [name, content] : c.pages) b.AddPage(name, content);
    const BatchResult r = b.Run(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
}

TEST(Batch, VersionIsTheProductLine) {
  for (const char* option : {"--version", "-V"}) {
    SCOPED_TRACE(option);
    Batch b;
    const BatchResult r = b.Run({option});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "slimtag-batch (Slimtag) 2.5.22\nSlimtag v2.5.22\n");
  }
}

// Each page's new content is written beside it: the working directory is never used, so neither
// what holds it nor a run at work in another folder from it stops slimtag-batch.
TEST(Batch, NeedsNothingOfTheWorkingDirectory) {
  struct Case {
    const char* name;
    std::function<void(Batch& b, FailingPlatform& platform)> set_up;
  };
  // Made first, so that both runs have its working directory.
  Batch other;
  other.AddPage("c.htm", "c&nbsp;\r\n");
  std::optional<BatchResult> other_result;
  int held = -1;
  const Case cases[] = {
      {"another copy holds slimtag.tmp",
       [&](Batch&, FailingPlatform&) {
         held = ::open("slimtag.tmp", O_RDWR | O_CREAT | O_CLOEXEC, 0644);
         ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
       }},
      {"the working directory is gone",
       [](Batch&, FailingPlatform&) { fs::remove_all(fs::current_path()); }},
      {"a run in another folder is at work",
       [&](Batch&, FailingPlatform& platform) {
         platform.Before("copy-over", [&] { other_result = other.Run({"--nbsp", "{pages}"}); });
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    b.AddPage("a.htm", "a&nbsp;\r\n");
    Timeline timeline;
    FailingPlatform platform(b.posix, timeline);
    c.set_up(b, platform);
    const BatchResult r = b.RunWith(platform, {"--nbsp", "{pages}"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.code, kExitStatistics);
    EXPECT_EQ(b.Page("a.htm"), "a\r\n");
    EXPECT_EQ(fs::exists("slimtag.tmp.lock"), false);
  }
  ::close(held);
  ASSERT_TRUE(other_result.has_value());
  EXPECT_EQ(other_result->code, kExitStatistics) << other_result->err;
  EXPECT_EQ(other.Page("c.htm"), "c\r\n");
}

TEST(Batch, FailedFileOperationGivesExitTwoAndNamesTheFile) {
  Batch b;
  b.AddPage("a.htm", "a\r\n");
  b.AddPage("b.htm", "b&nbsp;\r\n");
  Timeline timeline;
  FailingPlatform platform(b.posix, timeline);
  platform.FailAtFirst("copy-over");
  const BatchResult r = b.RunWith(platform, {"--nbsp", "{pages}"});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "slimtag-batch: Оптимизация остановлена.\nНе удалось записать файл «" +
                       b.dir.Page("a.htm") +
                       "» (он остался без изменений): ошибка ввода-вывода.\n");
  EXPECT_EQ(b.Page("b.htm"), "b&nbsp;\r\n") << "the run stopped at the first page";
}

// A FILE operand that cannot be looked at is named once, in its own quotes.
TEST(Batch, AFileOperandThatCannotBeOpenedIsNamedOnce) {
  Batch b;
  b.AddPage("a.htm", "a&nbsp;\r\n");
  fs::create_symlink("loop2.html", b.dir.Page("loop1.html"));
  fs::create_symlink("loop1.html", b.dir.Page("loop2.html"));
  const BatchResult r = b.Run({"--nbsp", "{pages}/a.htm", "{pages}/loop1.html"});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_EQ(r.err, "slimtag-batch: не удалось открыть «" + b.dir.Page("loop1.html") +
                       "»: слишком много символических ссылок\n");
  EXPECT_EQ(b.Page("a.htm"), "a&nbsp;\r\n") << "nothing is done before the operands are checked";
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  std::string reason;  // what err says after "slimtag-batch: ", when the test fixes it
};

TEST(Batch, UsageErrorsProcessNothing) {
  const UsageCase cases[] = {
      {"unknown name",
       {"--nbsp", "{pages}", "a.htm", "nosuch.htm"},
       "«nosuch.htm» не является страницей папки «{pages}»"},
      {"a file of the folder that is not a page",
       {"--nbsp", "{pages}", "notes.txt"},
       "«notes.txt» не является страницей папки «{pages}»"},
      {"folder missing", {"--nbsp"}, ""},
      {"no argument at all", {}, ""},
      {"a folder after a file", {"{pages}/a.htm", "{pages}"}, "«{pages}» не является файлом"},
      {"a missing file after a file",
       {"{pages}/a.htm", "{pages}/none.htm"},
       "«{pages}/none.htm»: файл или папка не найдены"},
      {"files with --recursive", {"-r", "{pages}/a.htm"}, "--recursive нельзя сочетать с ФАЙЛАМИ"},
      {"--keep-going with FOLDER -", {"-k", "-"}, "--keep-going нельзя сочетать с ПАПКОЙ «-»"},
      {"folder does not exist", {"{pages}/none"}, "«{pages}/none»: файл или папка не найдены"},
      {"box 0", {"--check", "0", "{pages}"}, ""},
      {"box 15", {"--check", "15", "{pages}"}, ""},
      {"box not a number", {"--check", "x", "{pages}"}, ""},
      {"one bad box of a list", {"--check", "1,99", "{pages}"}, ""},
      {"unknown option", {"--bogus", "{pages}"}, ""},
      {"four replacement pairs",
       {"--replace", "a", "b", "--replace", "c", "d", "--replace", "e", "f", "--replace", "g", "h",
        "{pages}"},
       "--replace можно указать не более трёх раз"},
      {"four removal texts",
       {"--remove", "a", "--remove", "b", "--remove", "c", "--remove", "d", "{pages}"},
       "--remove можно указать не более трёх раз"},
      {"removal text not UTF-8",
       {"--remove", "\xFF", "{pages}"},
       "текст замены или удаления не в UTF-8"},
  };
  for (const UsageCase& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    b.AddPage("a.htm", "a&nbsp; \r\n");
    b.AddPage("notes.txt", "x");
    const BatchResult r = b.Run(c.args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.starts_with("slimtag-batch: ")) << r.err;
    EXPECT_TRUE(r.err.ends_with(kUsageLine + "Подробнее: slimtag-batch --help\n")) << r.err;
    if (!c.reason.empty()) {
      std::string reason = c.reason;
      for (std::size_t p; (p = reason.find("{pages}")) != std::string::npos;) {
        reason.replace(p, 7, b.dir.Pages());
      }
      EXPECT_EQ(r.err, "slimtag-batch: " + reason + "\n" + kUsageLine +
                           "Подробнее: slimtag-batch --help\n");
    }
    EXPECT_EQ(b.Page("a.htm"), "a&nbsp; \r\n");
    EXPECT_TRUE(fs::is_empty(b.dir.Work())) << "no temporary file was made";
  }
}

struct SelectionCase {
  const char* name;
  std::vector<std::string> names;
  std::vector<std::string> processed;  // in the order processed
};

TEST(Batch, NamesSelectPagesWhichGoInListOrder) {
  const SelectionCase cases[] = {
      {"all pages without names, letter case ignored in the order",
       {},
       {"A.htm", "b.htm", "c.HTML", "d.php"}},
      {"names in another order", {"d.php", "A.htm"}, {"A.htm", "d.php"}},
      {"a name given twice", {"b.htm", "b.htm"}, {"b.htm"}},
  };
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    for (const char* name : {"b.htm", "A.htm", "c.HTML", "d.php", "notes.txt"}) {
      b.AddPage(name, "x&nbsp;\r\n");
    }
    std::vector<std::string> args = {"--nbsp", "-v", "{pages}"};
    args.insert(args.end(), c.names.begin(), c.names.end());
    const BatchResult r = b.Run(args);
    EXPECT_EQ(r.code, kExitStatistics);
    EXPECT_EQ(VerboseNames(r.err), c.processed);
    EXPECT_TRUE(r.out.starts_with(std::to_string(c.processed.size()) + " файл(ов) обработано.\n"))
        << r.out;
    for (const char* name : {"b.htm", "A.htm", "c.HTML", "d.php", "notes.txt"}) {
      const bool done =
          std::find(c.processed.begin(), c.processed.end(), name) != c.processed.end();
      EXPECT_EQ(b.Page(name), done ? "x\r\n" : "x&nbsp;\r\n") << name;
    }
  }
}

struct EditCase {
  const char* name;
  std::vector<std::string> args;
  std::string input;
  std::string output;
};

TEST(Batch, ReplacementPairsAndRemovalTexts) {
  const EditCase cases[] = {
      {"pairs act in the order given",
       {"--replace", "a", "b", "--replace", "b", "c"},
       "ab\r\n",
       "cc\r\n"},
      {"three pairs",
       {"--replace", "1", "2", "--replace", "2", "3", "--replace", "3", "4"},
       "1\r\n",
       "4\r\n"},
      {"an empty search text is skipped",
       {"--replace", "", "X", "--replace", "a", "b"},
       "ab\r\n",
       "bb\r\n"},
      {"Cyrillic", {"--replace", "привет", "Здравствуй"}, "ПРИВЕТ, мир\r\n", "Здравствуй, мир\r\n"},
      {"removal texts", {"--remove", "x", "--remove", "Y", "--remove", "q"}, "xyzXYQ\r\n", "z\r\n"},
      {"replacement comes before removal whatever the argument order",
       {"--remove", "b", "--replace", "a", "b"},
       "ab\r\n",
       "\r\n"},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    b.AddPage("a.htm", c.input);
    std::vector<std::string> args = c.args;
    args.push_back("{pages}");
    EXPECT_EQ(b.Run(args).code, kExitStatistics);
    EXPECT_EQ(b.Page("a.htm"), c.output);
  }
}

TEST(Batch, BackupKeepsThePagesAsTheyWere) {
  Batch b;
  b.AddPage("a.htm", "a&nbsp;\r\n");
  b.AddPage("b.htm", "b\r\n");
  EXPECT_EQ(b.Run({"--backup", "--nbsp", "{pages}", "a.htm"}).code, kExitStatistics);
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(b.dir.Pages())) {
    if (entry.is_directory()) folders.push_back(entry.path());
  }
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_TRUE(folders[0].filename().string().starts_with("~backup_")) << folders[0];
  EXPECT_EQ(folders[0].filename().string().find(':'), std::string::npos) << folders[0];
  EXPECT_EQ(ReadFile((folders[0] / "a.htm").string()), "a&nbsp;\r\n");
  EXPECT_FALSE(fs::exists(folders[0] / "b.htm")) << "only processed pages are copied";
  EXPECT_EQ(b.Page("a.htm"), "a\r\n");
}

}  // namespace
}  // namespace slimtag
