// slimtag-batch FILE...: pages named by their paths, in one folder or several; and -k, which goes
// on past a page or a folder that fails and sums the failures up.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "batch.h"
#include "batch_harness.h"

namespace slimtag {
namespace {

using testing::Batch;
using testing::BatchResult;
using testing::FailingPlatform;
using testing::Timeline;
using testing::VerboseNames;
namespace fs = std::filesystem;

std::string Statistics(int files, int before, int after, int percent) {
  return std::to_string(files) +
         " файл(ов) обработано.\nРазмер до оптимизации: " + std::to_string(before) +
         " байт.\nРазмер после оптимизации: " + std::to_string(after) +
         " байт.\n\nУдалено: " + std::to_string(before - after) + " байт. (" +
         std::to_string(percent) + "%)\n";
}

const std::map<std::string, std::string> kSite = {{"a.htm", "a&nbsp;\r\n"},
                                                  {"c.xhtml", "c&nbsp;\r\n"},
                                                  {"notes.txt", "n&nbsp;\r\n"},
                                                  {"sub/b.htm", "b&nbsp;\r\n"}};

struct FilesCase {
  const char* name;
  std::vector<std::string> files;
  std::vector<std::string> done;  // as -v names them, in order
};

TEST(BatchFiles, EachFileIsDoneInItsFolderWhateverItsNameWithOneMessage) {
  const FilesCase cases[] = {
      {"one folder, any extension",
       {"{pages}/c.xhtml", "{pages}/notes.txt"},
       {"{pages}/c.xhtml", "{pages}/notes.txt"}},
      {"two folders in the order given, a file named twice done once",
       {"{pages}/sub/b.htm", "{pages}/a.htm", "{pages}/sub/../sub/b.htm", "{pages}/sub/b.htm"},
       {"{pages}/sub/b.htm", "{pages}/a.htm"}},
  };
  for (const FilesCase& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    b.AddPages(kSite);
    std::vector<std::string> args = {"-v", "--nbsp"};
    args.insert(args.end(), c.files.begin(), c.files.end());
    const BatchResult r = b.Run(args);
    EXPECT_EQ(r.code, kExitStatistics) << r.err;
    std::vector<std::string> done;
    for (const std::string& name : c.done) done.push_back(b.Expand(name));
    EXPECT_EQ(VerboseNames(r.err), done);
    const int n = static_cast<int>(done.size());
    EXPECT_EQ(r.out, Statistics(n, 9 * n, 3 * n, 67));
    for (const auto& [name, content] : kSite) {
      const bool named = std::find(done.begin(), done.end(), b.dir.Page(name)) != done.end();
      EXPECT_EQ(b.Page(name), named ? content.substr(0, 1) + "\r\n" : content) << name;
    }
  }
}

TEST(BatchFiles, JsonOfFilesInSeveralFoldersNamesNoFolder) {
  Batch b;
  b.AddPages(kSite);
  const BatchResult r =
      b.Run({"--report", "json", "--nbsp", "{pages}/sub/b.htm", "{pages}/c.xhtml"});
  EXPECT_EQ(r.code, kExitStatistics);
  EXPECT_NE(r.out.find(b.Expand("\n  \"folder\": null,\n  \"files_done\": 2,\n")),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(b.Expand(
                "\n      \"name\": \"{pages}/sub/b.htm\",\n      \"size_before\": 9,\n"
                "      \"size_after\": 3\n    },\n    {\n      \"name\": \"{pages}/c.xhtml\"")),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("failed_pages"), std::string::npos) << "only with -k";
}

// The folder of each file is the one seen when the operands were checked: one put in its place
// afterwards is never written in, and without -k the whole tool stops there.
TEST(BatchFiles, AFolderSwappedAfterTheCheckStopsTheToolNamingIt) {
  Batch b;
  b.AddPages({{"a.htm", "a&nbsp;\r\n"},
              {"sub/b.htm", "b&nbsp;\r\n"},
              {"n/b.htm", "n&nbsp;\r\n"},
              {"z/d.htm", "d&nbsp;\r\n"}});
  Timeline timeline;
  FailingPlatform platform(b.posix, timeline);
  const std::string sub = b.dir.Page("sub");
  platform.Before(
      "open-folder",
      [&] {
        fs::rename(sub, sub + ".away");
        fs::rename(b.dir.Page("n"), sub);
      },
      sub);
  const BatchResult r =
      b.RunWith(platform, {"--nbsp", "{pages}/a.htm", "{pages}/sub/b.htm", "{pages}/z/d.htm"});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "slimtag-batch: Оптимизация остановлена.\nПапка «" + sub +
                       "» подменена или изменена другой программой во время оптимизации; в ней "
                       "ничего не записано.\n");
  EXPECT_EQ(b.Page("a.htm"), "a\r\n") << "the folder before is done";
  EXPECT_EQ(b.Page("sub/b.htm"), "n&nbsp;\r\n");
  EXPECT_EQ(b.Page("sub.away/b.htm"), "b&nbsp;\r\n");
  EXPECT_EQ(b.Page("z/d.htm"), "d&nbsp;\r\n") << "nothing after the failure";
}

struct KeepGoingCase {
  const char* name;
  std::vector<std::string> args;
  std::function<void(Batch&, FailingPlatform&)> fail;
  std::string out;  // "{pages}" for the folder
  std::string err;
  std::map<std::string, std::string> after;  // the pages' contents
};

TEST(BatchKeepGoing, FailuresAreSummedUpAfterTheStatisticsAndTheRestIsDone) {
  const std::string read_b = "Не удалось прочитать файл «{pages}/sub/b.htm»: ошибка ввода-вывода.";
  const KeepGoingCase cases[] = {
      {"a page of the tree",
       {"-k", "-r", "--nbsp", "{pages}"},
       [](Batch& b, FailingPlatform& p) { p.FailAtFirst("read", EIO, b.dir.Page("sub/b.htm")); },
       Statistics(1, 9, 3, 67),
       "slimtag-batch: не обработано из-за ошибок: 1\n  " + read_b + "\n",
       {{"a.htm", "a\r\n"}, {"c.xhtml", "c&nbsp;\r\n"}, {"sub/b.htm", "b&nbsp;\r\n"}}},
      {"a file, and the folder of another that cannot be held",
       {"--keep-going", "--nbsp", "{pages}/c.xhtml", "{pages}/sub/b.htm", "{pages}/a.htm"},
       [](Batch& b, FailingPlatform& p) {
         p.FailAtFirst("open-folder", EACCES, b.dir.Page("sub"));
       },
       Statistics(2, 18, 6, 67),
       "slimtag-batch: не обработано из-за ошибок: 1\n  Оптимизация остановлена. Не удалось "
       "открыть папку «{pages}/sub»: нет прав доступа.\n",
       {{"a.htm", "a\r\n"}, {"c.xhtml", "c\r\n"}, {"sub/b.htm", "b&nbsp;\r\n"}}},
      {"as JSON",
       {"-k", "--report", "json", "--nbsp", "{pages}/sub/b.htm"},
       [](Batch& b, FailingPlatform& p) { p.FailAtFirst("read", EIO, b.dir.Page("sub/b.htm")); },
       R"json({
  "outcome": "nothing_selected",
  "dry_run": false,
  "folder": "{pages}/sub",
  "files_done": 0,
  "size_before": 0,
  "size_after": 0,
  "removed": 0,
  "removed_percent": null,
  "pages": [],
  "left_alone": [],
  "failure": null,
  "failed_pages": [
    {
      "name": "{pages}/sub/b.htm",
      "operation": "read",
      "path": "{pages}/sub/b.htm",
      "other": null,
      "errno": 5,
      "reason": "ошибка ввода-вывода",
      "message": ")json" +
           read_b + R"json("
    }
  ],
  "message": "Файлы не выбраны! "
}
)json",
       "",
       {{"sub/b.htm", "b&nbsp;\r\n"}}},
  };
  for (const KeepGoingCase& c : cases) {
    SCOPED_TRACE(c.name);
    Batch b;
    b.AddPages(
        {{"a.htm", "a&nbsp;\r\n"}, {"c.xhtml", "c&nbsp;\r\n"}, {"sub/b.htm", "b&nbsp;\r\n"}});
    Timeline timeline;
    FailingPlatform platform(b.posix, timeline);
    c.fail(b, platform);
    const BatchResult r = b.RunWith(platform, c.args);
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.out, b.Expand(c.out));
    EXPECT_EQ(r.err, b.Expand(c.err));
    for (const auto& [name, content] : c.after) EXPECT_EQ(b.Page(name), content) << name;
  }
}

}  // namespace
}  // namespace slimtag
