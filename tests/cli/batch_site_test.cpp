// Whole sites: -r over a tree, -n, --report json, --line-ends lf, the stdin filter, -v and the
// progress display.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch_harness.h"
#include "batch_report.h"
#include "fake_platform.h"
#include "progress_line.h"
#include "run/page_list.h"

namespace slimtag {
namespace {

using testing::Batch;
using testing::BatchResult;
using testing::FailingPlatform;
using testing::ReadFile;
using testing::Timeline;
using testing::TreeOf;
using testing::VerboseNames;
using testing::WriteFile;
namespace fs = std::filesystem;

// What --backup names the folders with the failing platform's fixed time of day.
const std::string kBackup = "~backup_14'05'09";

// The plain walk -r must follow: a folder's pages in list order, then its sub-folders in the same
// order, depth first; hidden folders, backup folders and links to folders left out.
void ReferenceWalk(const fs::path& folder, const std::string& prefix,
                   std::vector<std::string>& pages) {
  std::vector<std::string> here, subs;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".")) continue;
    if (entry.is_symlink()) {
      if (!entry.is_directory() && MatchesPagePattern(name)) here.push_back(name);
    } else if (entry.is_directory()) {
      if (!name.starts_with("~backup_")) subs.push_back(name);
    } else if (entry.is_regular_file() && MatchesPagePattern(name)) {
      here.push_back(name);
    }
  }
  std::sort(here.begin(), here.end(), PageNameLess);
  std::sort(subs.begin(), subs.end(), PageNameLess);
  for (const std::string& name : here) pages.push_back(prefix + name);
  for (const std::string& sub : subs) ReferenceWalk(folder / sub, prefix + sub + "/", pages);
}

// A random tree of folders and files, pages among them, some hidden or named like backups.
void GrowTree(Batch& b, std::mt19937& random, const std::string& prefix, int depth) {
  static const char* const kFiles[] = {"a.htm",  "B.HTML",    "ж.php", "notes.txt",
                                       ".h.htm", "Zed.shtml", "Я.asp", "c.php4"};
  static const char* const kFolders[] = {"a", "B", "ж", "Я", ".git", "~backup_old", "z"};
  for (const char* name : kFiles) {
    if (random() % 2 == 0) b.AddPage(prefix + name, prefix + name + " &nbsp;\r\n");
  }
  if (depth == 3) return;
  for (const char* name : kFolders) {
    if (random() % 4 == 0) GrowTree(b, random, prefix + name + "/", depth + 1);
  }
}

TEST(BatchRecursive, WalksTheTreeInOrderWithABackupFolderInEachFolder) {
  std::size_t deepest = 0;  // the trees reach below sub-folders
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Batch b;
    std::mt19937 random(seed);
    GrowTree(b, random, "", 0);
    b.AddPage("top.htm", "top &nbsp;\r\n");
    fs::create_directories(b.dir.Page("B"));
    fs::create_directory_symlink(b.dir.Page("B"), b.dir.Page("link"));
    std::vector<std::string> expected;
    ReferenceWalk(b.dir.Pages(), "", expected);
    for (const std::string& page : expected) {
      deepest = std::max<std::size_t>(deepest, std::count(page.begin(), page.end(), '/'));
    }
    const auto before = TreeOf(b.dir.Pages());

    Timeline timeline;
    FailingPlatform platform(b.posix, timeline);
    const BatchResult r = b.RunWith(platform, {"-r", "-v", "--backup", "--nbsp", "{pages}"});
    EXPECT_EQ(r.code, kExitStatistics);
    EXPECT_EQ(VerboseNames(r.err), expected);
    EXPECT_TRUE(r.out.starts_with(std::to_string(expected.size()) + " файл(ов) обработано.\n"));

    const auto after = TreeOf(b.dir.Pages());
    std::set<std::string> folders_with_pages = {"."};
    for (const std::string& page : expected) {
      EXPECT_EQ(b.Page(page), before.at(page).substr(0, before.at(page).size() - 8) + "\r\n")
          << page << " is processed";
      const std::string folder = fs::path(page).parent_path().string();
      folders_with_pages.insert(folder.empty() ? "." : folder);
      EXPECT_EQ(
          ReadFile(b.dir.Page((fs::path(folder) / kBackup / fs::path(page).filename()).string())),
          before.at(page))
          << page << " is backed up beside itself";
    }
    for (const auto& [name, content] : before) {
      const bool listed = std::find(expected.begin(), expected.end(), name) != expected.end();
      if (!listed) {
        EXPECT_EQ(after.at(name), content) << name << " is left alone";
      }
    }
    for (const auto& [name, content] : after) {
      if (fs::path(name).filename() != kBackup) continue;
      EXPECT_TRUE(folders_with_pages.contains(
          fs::path(name).parent_path().empty() ? "." : fs::path(name).parent_path().string()))
          << "a backup folder only where pages were: " << name;
    }
  }
  EXPECT_GE(deepest, 2u);
}

// The real platform, but one page cannot be opened.
struct FailOnePage {
  FailOnePage(Platform& real, const std::string& path) : platform(real, timeline) {
    platform.FailAtFirst("open", EACCES, path);
  }
  Timeline timeline;
  FailingPlatform platform;
};

TEST(BatchRecursive, AFailureInASubFolderStopsTheOneRun) {
  Batch b;
  b.AddPages({{"a.htm", "a&nbsp;\r\n"},
              {"m/b.htm", "b&nbsp;\r\n"},
              {"m/c.htm", "c&nbsp;\r\n"},
              {"z/d.htm", "d&nbsp;\r\n"}});
  FailOnePage failing(b.posix, b.dir.Page("m/c.htm"));
  const BatchResult r = b.RunWith(failing.platform, {"{pages}", "--nbsp", "-r", "--backup"});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "slimtag-batch: Оптимизация остановлена.\nНе удалось открыть файл «" +
                       b.dir.Page("m/c.htm") + "»: нет прав доступа.\n");
  EXPECT_EQ(b.Page("a.htm"), "a\r\n");
  EXPECT_EQ(b.Page("m/b.htm"), "b\r\n");
  EXPECT_EQ(b.Page("m/c.htm"), "c&nbsp;\r\n");
  EXPECT_EQ(b.Page("z/d.htm"), "d&nbsp;\r\n") << "nothing after the failure";
  EXPECT_EQ(b.Page(kBackup + "/a.htm"), "a&nbsp;\r\n");
  EXPECT_EQ(b.Page("m/" + kBackup + "/b.htm"), "b&nbsp;\r\n");
  EXPECT_FALSE(fs::exists(b.dir.Page("z/" + kBackup)));
}

TEST(BatchDryRun, ReportsWhatTheRunWouldSaveAndChangesNothing) {
  const std::vector<std::vector<std::string>> option_sets = {
      {"--nbsp", "--backup"},
      {"-r", "--backup", "--check", "1,2,3,7,8,9,10,11", "--replace", "привет", "Здравствуй"},
      {"-r", "--join-lines", "--line-ends", "lf"},
  };
  for (const auto& options : option_sets) {
    SCOPED_TRACE(options.front() + " " + options.back());
    std::vector<std::string> args = options;
    args.push_back("{pages}");
    std::string dry_out;
    for (const bool dry : {true, false}) {
      Batch b;
      b.AddPages({{"a.htm", "  <b>ПРИВЕТ</b>&nbsp; \r\n\r\n<p></p>\n"},
                  {"sub/b.html", "<strong>x</strong>\n<font color=\"#FF0000\">y</font>\n"},
                  {"sub/c.php", ""}});
      const auto before = TreeOf(b.dir.Root());
      std::vector<std::string> run_args = args;
      if (dry) run_args.insert(run_args.begin() + 1, "-n");
      const BatchResult r = b.Run(run_args);
      EXPECT_EQ(r.code, kExitStatistics);
      EXPECT_EQ(r.err, "");
      if (dry) {
        EXPECT_EQ(TreeOf(b.dir.Root()), before) << "every byte and entry as it was";
        dry_out = r.out;
      } else {
        EXPECT_NE(TreeOf(b.dir.Root()), before);
        // The dry run's message is the real run's, and says that nothing was written.
        EXPECT_EQ(dry_out, r.out + "Пробный прогон: ничего не записано.\n");
      }
    }
  }
}

TEST(BatchReport, JsonDocumentOfAFinishedRun) {
  Batch b;
  b.AddPages(
      {{"a.htm", "a&nbsp;\r\n"}, {"sub/\"q\".htm", "x\r\n"}, {"z.php", std::string("x\0y", 3)}});
  const BatchResult r = b.Run({"--report", "json", "-r", "--nbsp", "{pages}"});
  EXPECT_EQ(r.code, kExitStatistics);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, b.Expand(R"json({
  "outcome": "statistics",
  "dry_run": false,
  "folder": "{pages}",
  "files_done": 2,
  "size_before": 12,
  "size_after": 6,
  "removed": 6,
  "removed_percent": 50,
  "pages": [
    {
      "name": "a.htm",
      "size_before": 9,
      "size_after": 3
    },
    {
      "name": "sub/\"q\".htm",
      "size_before": 3,
      "size_after": 3
    }
  ],
  "left_alone": [
    {
      "name": "z.php",
      "reason": "not_text"
    }
  ],
  "failure": null,
  "message": "2 файл(ов) обработано.\nРазмер до оптимизации: 12 байт.\nРазмер после оптимизации: 6 байт.\n\nУдалено: 6 байт. (50%)\n1 файл(ов) оставлено как есть: это не текст."
}
)json"));
}

TEST(BatchReport, JsonDocumentOfAStoppedRunAndOfNothingSelected) {
  Batch b;
  b.AddPages({{"a.htm", "a&nbsp;\r\n"}, {"b.htm", "b\r\n"}});
  FailOnePage failing(b.posix, b.dir.Page("b.htm"));
  const BatchResult r =
      b.RunWith(failing.platform, {"-n", "{pages}", "--report", "json", "--nbsp"});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_EQ(r.err, "");
  const std::string message = "Оптимизация остановлена.\\nНе удалось открыть файл «" +
                              b.dir.Page("b.htm") + "»: нет прав доступа.";
  EXPECT_EQ(r.out, b.Expand(R"json({
  "outcome": "failed",
  "dry_run": true,
  "folder": "{pages}",
  "files_done": 1,
  "size_before": 9,
  "size_after": 3,
  "removed": 6,
  "removed_percent": 67,
  "pages": [
    {
      "name": "a.htm",
      "size_before": 9,
      "size_after": 3
    }
  ],
  "left_alone": [],
  "failure": {
    "operation": "open",
    "path": "{pages}/b.htm",
    "other": null,
    "errno": 13,
    "reason": "нет прав доступа",
    "message": ")json" + message +
                            R"json("
  },
  "message": ")json" + message +
                            R"json("
}
)json"));

  Batch empty;
  const BatchResult none = empty.Run({"--report", "json", "{pages}"});
  EXPECT_EQ(none.code, kExitNothingSelected);
  EXPECT_TRUE(none.out.starts_with("{\n  \"outcome\": \"nothing_selected\",\n")) << none.out;
  EXPECT_NE(none.out.find("\n  \"removed_percent\": null,\n"), std::string::npos) << none.out;
  EXPECT_NE(none.out.find("\n  \"pages\": [],\n"), std::string::npos) << none.out;
}

// Names are the file system's bytes; the document is UTF-8, with U+FFFD for what is not.
TEST(BatchReport, JsonDocumentWritesBytesThatAreNotUtf8AsTheReplacementCharacter) {
  RunReport report;
  report.pages = {{"\xCF\xF0\xE8.htm", 1, 1}, {"\x01\xD0\x9F\xE2\x82", 1, 1}};
  const std::string json = JsonDocument(report);
  EXPECT_NE(json.find("\"name\": \"\uFFFD\uFFFD\uFFFD.htm\","), std::string::npos) << json;
  EXPECT_NE(json.find("\"name\": \"\\u0001\u041F\uFFFD\","), std::string::npos) << json;
}

struct LineEndCase {
  const char* name;
  std::vector<std::string> options;
  std::string page;
  std::string as_read;  // with --line-ends lf
  std::string window;   // with --line-ends crlf
  std::string by_page;  // with the default, --line-ends auto
};

const LineEndCase kLineEndCases[] = {
    {"no box: every byte kept",
     {},
     "  a  \n  b  \r\n c \r d ",
     "  a  \n  b  \r\n c \r d ",
     "  a  \n  b  \r\n c \r\n d \r\n",
     "  a  \n  b  \r\n c \r\n d \r\n"},
    {"boxes 1 and 2 trim each line",
     {"--trim-start", "--trim-end"},
     "  a  \n  b  \r\n c \r d ",
     "a\nb\r\nc\rd",
     "a  \n  b\r\nc\r\nd\r\n",
     "a  \n  b\r\nc\r\nd\r\n"},
    {"an LF page with empty lines dropped",
     {"--check", "3"},
     "a\n\nb\n",
     "a\nb\n",
     "a\n\nb\n\r\n",
     "a\nb\n"},
    {"an LF page trimmed", {"--check", "1,2"}, " a \n b \n", "a\nb\n", "a \n b \n\r\n", "a\nb\n"},
    {"a page with no line end", {"--check", "2"}, "x ", "x", "x\r\n", "x"},
};

TEST(BatchLineEnds, EachRuleOnPagesAndOnTheFilter) {
  for (const LineEndCase& c : kLineEndCases) {
    for (const char* rule : {"auto", "lf", "crlf", ""}) {
      SCOPED_TRACE(std::string(c.name) + ", " + (*rule ? rule : "default"));
      const std::string& expected = std::string_view(rule) == "lf"     ? c.as_read
                                    : std::string_view(rule) == "crlf" ? c.window
                                                                       : c.by_page;
      Batch b;
      b.AddPage("a.htm", c.page);
      std::vector<std::string> args = c.options;
      if (*rule) args.insert(args.end(), {"--line-ends", rule});
      args.push_back("{pages}");
      EXPECT_EQ(b.Run(args).code, kExitStatistics);
      EXPECT_EQ(b.Page("a.htm"), expected);
      // The filter gives the same bytes.
      std::vector<std::string> filter_args = args;
      filter_args.back() = "-";
      const BatchResult f = b.Filter(filter_args, c.page);
      EXPECT_EQ(f.code, kExitStatistics);
      EXPECT_EQ(f.out, expected);
      EXPECT_EQ(f.err, "");
    }
  }
}

TEST(BatchFilter, OnePageFromStandardInputToStandardOutput) {
  Batch b;
  const BatchResult r = b.Filter({"--check", "1,2,7", "-"}, "  a&nbsp; \r\n b \r\n");
  EXPECT_EQ(r.code, kExitStatistics);
  EXPECT_EQ(r.out, "a\r\nb\r\n");
  EXPECT_EQ(r.err, "") << "no statistics without -v";
  EXPECT_TRUE(fs::is_empty(b.dir.Work())) << "no temporary file";
  EXPECT_TRUE(fs::is_empty(b.dir.Pages()));

  const BatchResult v = b.Filter({"-", "-v", "--nbsp"}, "a&nbsp;\r\n");
  EXPECT_EQ(v.out, "a\r\n");
  EXPECT_EQ(v.err,
            "-: 9 → 3 байт, удалено 67%\n1 файл(ов) обработано.\nРазмер до оптимизации: 9 байт.\n"
            "Размер после оптимизации: 3 байт.\n\nУдалено: 6 байт. (67%)\n");

  // The user's text decides the encoding: a windows-1251 page is matched in windows-1251.
  const BatchResult cp1251 =
      b.Filter({"--replace", "привет", "ok", "-"}, "\xCF\xD0\xC8\xC2\xC5\xD2, \xEC\xE8\xF0\r\n");
  EXPECT_EQ(cp1251.out, "ok, \xEC\xE8\xF0\r\n");
  const BatchResult empty = b.Filter({"--nbsp", "-"}, "");
  EXPECT_EQ(empty.code, kExitStatistics);
  EXPECT_EQ(empty.out, "");
}

// A page that is not text keeps every byte: a line with -v, its count in the message; the filter
// passes it through as it stands and says why. The filter reads UTF-16 and declared code pages as
// a run does.
TEST(BatchFilter, PagesLeftAsTheyAreAndPagesInOtherEncodings) {
  Batch b;
  const std::string binary("GIF89a\0\r\x01", 9);
  b.AddPages({{"a.php", binary}, {"b.htm", "b \r\n"}});
  const BatchResult r = b.Run({"-v", "--trim-end", "{pages}"});
  EXPECT_EQ(r.code, kExitStatistics);
  EXPECT_EQ(b.Page("a.php"), binary);
  EXPECT_NE(r.err.find("a.php: оставлен как есть: это не текст\n"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.ends_with("\n1 файл(ов) оставлено как есть: это не текст.\n")) << r.out;

  const struct {
    std::vector<std::string> args;
    std::string in, out, err;
  } cases[] = {
      {{"--trim-end", "-"}, binary, binary, "slimtag-batch: -: оставлен как есть: это не текст\n"},
      {{"--trim-end", "-"},
       std::string("\xFF\xFE"
                   "a\0 \0\r\0\n\0",
                   10),
       std::string("\xFF\xFE"
                   "a\0\r\0\n\0",
                   8),
       ""},
      {{"--replace", "Мир", "ok", "-"},
       "<meta charset=koi8-r>\xED\xE9\xF2 \xCD\xC9\xD2\r\n",
       "<meta charset=koi8-r>ok ok\r\n",
       ""},
  };
  for (const auto& c : cases) {
    const BatchResult f = b.Filter(c.args, c.in);
    EXPECT_EQ(f.code, kExitStatistics);
    EXPECT_EQ(f.out, c.out);
    EXPECT_EQ(f.err, c.err);
  }
}

TEST(BatchProgress, OneLineOnATerminalAtMostTenTimesASecond) {
  for (const std::int64_t step : {1000, 30}) {
    SCOPED_TRACE("clock step " + std::to_string(step));
    Batch b;
    for (int i = 0; i < 20; ++i) b.AddPage("p" + std::to_string(10 + i) + ".htm", "x&nbsp;\r\n");
    b.terminal = true;
    b.clock_step_ms = step;
    const BatchResult r = b.Run({"--nbsp", "{pages}"});
    EXPECT_EQ(r.code, kExitStatistics);
    std::vector<std::string> shown;
    const std::string erase = "\r\033[K";
    for (std::size_t p = r.err.find(erase); p != std::string::npos;) {
      const std::size_t next = r.err.find(erase, p + erase.size());
      shown.push_back(r.err.substr(p + erase.size(), next - p - erase.size()));
      p = next;
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), "") << "erased at the end";
    EXPECT_EQ(shown.front(), "Обработано 0 из 20, 0 байт: p10.htm");
    // One look at the clock per page: 20 pages take 20 steps.
    const std::size_t most = step >= 100 ? 20 : std::size_t(20 * step / 100 + 1);
    EXPECT_LE(shown.size() - 1, most);
    EXPECT_GE(shown.size() - 1, step >= 100 ? 20u : 2u);
    if (step >= 100) {
      // Small pages are replaced together at the end: none is counted before it is on the disk.
      EXPECT_EQ(shown[19], "Обработано 0 из 20, 0 байт: p29.htm");
    }
  }
}

TEST(BatchProgress, LineIsCutToTheTerminalWidth) {
  std::ostringstream err;
  ProgressLine line(
      err, true, [] { return 0; }, 30);
  line.SetTotal(3);
  line.StartPage("очень/длинное/имя/страницы.htm");
  EXPECT_EQ(line.Text(), "Обработано 0 из 3, 0 байт: …m");
  ProgressLine off(
      err, false, [] { return 0; }, 0);
  off.StartPage("a.htm");
  off.Erase();
  EXPECT_EQ(err.str(), "\r\033[K" + line.Text()) << "nothing when err is not a terminal";
}

}  // namespace
}  // namespace slimtag
