// The line passes on editor-style pages: the whole run over a folder with every pass ticked, the
// same run with no box ticked, and a cp -r of the folder; the passes alone in memory; and the line
// of a million space entities through every pass.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "batch.h"
#include "lines/line_pipeline.h"
#include "lines/line_reader.h"
#include "posix/posix_platform.h"

namespace fs = std::filesystem;

namespace {

// A page as word processors and WYSIWYG editors write it: a signed head, nested tables with empty
// cells, font colours, indentation and blanks before the line ends, logical tags, empty paragraphs.
std::string EditorPage(std::mt19937& random, std::size_t target_size) {
  static const char* const kWords[] = {"отчёт",  "за",    "квартал", "Итого", "продажи",
                                       "report", "sales", "total",   "north", "2026"};
  static const char* const kColours[] = {"#FF0000", "#000000", "#0000ff", "#008000",
                                         "#FFFFFF", "#123456", "#808080", "#ffff00"};
  auto words = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += ' ';
      text += kWords[random() % std::size(kWords)];
    }
    return text;
  };
  std::string page =
      "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=utf-8\">\r\n<meta name=\"GENERATOR\" content=\"Microsoft FrontPage 4.0\">\r\n"
      "<meta name=\"ProgId\" content=\"FrontPage.Editor.Document\">\r\n<title>" +
      words(3) + "</title>\r\n</head>\r\n<body bgcolor=#FFFFFF>\r\n";
  while (page.size() < target_size) {
    page += "  <table border=0 cellpadding=2>  \r\n";
    const int rows = 3 + static_cast<int>(random() % 6);
    for (int r = 0; r < rows; ++r) {
      page += "    <tr>\r\n";
      for (int c = 0; c < 4; ++c) {
        page += "      <td width=\"25%\">  ";
        switch (random() % 4) {
          case 0:
            page += "&nbsp;";
            break;
          case 1:
            page += "<font color=" + std::string(kColours[random() % std::size(kColours)]) + ">" +
                    words(2) + "</font>";
            break;
          case 2:
            page += "<STRONG>" + words(1) + "</STRONG> <em>" + words(2) + "</em>";
            break;
          default:
            page += words(3);
            break;
        }
        page += "  </td>   \r\n";
      }
      page += "    </tr>\r\n";
    }
    page += "  </table>\r\n<p>&nbsp;</p>\r\n<p>" + words(12) + " <b>" + words(2) + "</b></p>\r\n";
    page += "<p></p>\r\n<center></center>\r\n\r\n";
  }
  page += "</body>\r\n</html>\r\n";
  return page;
}

class EditorFolder {
 public:
  EditorFolder()
      : root_(fs::temp_directory_path() / ("slimtag-bench-" + std::to_string(getpid()))) {
    fs::create_directories(root_ / "pristine");
    std::mt19937 random(42);
    for (int i = 0; i < 40; ++i) {
      const std::string page = EditorPage(random, 100'000);
      std::ofstream(root_ / "pristine" / ("page" + std::to_string(i) + ".htm"), std::ios::binary)
          << page;
      bytes_ += static_cast<std::int64_t>(page.size());
      pages_.push_back(page);
    }
    // The run keeps its temporary file in the working directory.
    fs::current_path(root_);
  }
  ~EditorFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // A fresh copy of the pages to optimise.
  fs::path FreshCopy() {
    const fs::path work = root_ / "work";
    fs::remove_all(work);
    fs::copy(root_ / "pristine", work);
    return work;
  }
  std::int64_t Bytes() const { return bytes_; }
  const std::vector<std::string>& Pages() const { return pages_; }
  const fs::path& Root() const { return root_; }

 private:
  fs::path root_;
  std::int64_t bytes_ = 0;
  std::vector<std::string> pages_;
};

EditorFolder& Folder() {
  static EditorFolder folder;
  return folder;
}

std::int64_t FolderSize(const fs::path& folder) {
  std::int64_t size = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    size += static_cast<std::int64_t>(entry.file_size());
  }
  return size;
}

void RunBatchOver(benchmark::State& state, const char* checks) {
  EditorFolder& folder = Folder();
  slimtag::PosixPlatform platform;
  std::int64_t after = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string work = folder.FreshCopy().string();
    state.ResumeTiming();
    std::vector<const char*> argv = {"slimtag-batch"};
    if (checks != nullptr) {
      argv.push_back("--check");
      argv.push_back(checks);
    }
    argv.push_back(work.c_str());
    std::ostringstream out, err;
    const int exit =
        slimtag::RunBatch(static_cast<int>(argv.size()), argv.data(), out, err, platform, false);
    if (exit != 0) state.SkipWithError(err.str().c_str());
    state.PauseTiming();
    after = FolderSize(work);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * folder.Bytes());
  state.counters["bytes_removed"] = static_cast<double>(folder.Bytes() - after);
  state.counters["output_per_input"] = static_cast<double>(after) / folder.Bytes();
}

void BM_RunEveryPass(benchmark::State& state) {
  RunBatchOver(state, "1,2,3,4,7,8,9,10,11");
}
void BM_RunNoBox(benchmark::State& state) {
  RunBatchOver(state, nullptr);
}

void BM_CopyFolderWithCp(benchmark::State& state) {
  EditorFolder& folder = Folder();
  const std::string command = "rm -rf '" + (folder.Root() / "copy").string() + "' && cp -r '" +
                              (folder.Root() / "pristine").string() + "' '" +
                              (folder.Root() / "copy").string() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp -r failed");
  }
  state.SetBytesProcessed(state.iterations() * folder.Bytes());
}

slimtag::RunOptions EveryLinePass() {
  slimtag::RunOptions options;
  for (int box : {1, 2, 4, 7, 8, 9, 10, 11}) options.box[box] = 1;
  return options;
}

// The passes alone on the same pages' lines, without files.
void BM_EveryPassInMemory(benchmark::State& state) {
  const slimtag::LinePipeline pipeline(EveryLinePass(), {}, slimtag::Encoding::Utf8);
  std::vector<std::string> lines;
  std::int64_t bytes = 0;
  for (const std::string& page : Folder().Pages()) {
    std::size_t start = 0;
    for (std::size_t cr; (cr = page.find("\r\n", start)) != std::string::npos; start = cr + 2) {
      lines.push_back(page.substr(start, cr - start));
      bytes += static_cast<std::int64_t>(cr - start + 2);
    }
  }
  std::string line;
  for (auto _ : state) {
    for (const std::string& original : lines) {
      line = original;
      pipeline.Apply(line);
      benchmark::DoNotOptimize(line.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

// 10 MB in one line, a million space entities among ordinary text.
void BM_MillionSpaceEntitiesEveryPass(benchmark::State& state) {
  std::string original;
  original.reserve(10'000'000);
  for (int i = 0; i < 1'000'000; ++i) original += "&nbsp;abcd";
  const slimtag::LinePipeline pipeline(EveryLinePass(), {}, slimtag::Encoding::Utf8);
  for (auto _ : state) {
    state.PauseTiming();
    std::string line = original;
    state.ResumeTiming();
    pipeline.Apply(line);
    if (line.size() != 4'000'000) state.SkipWithError("unexpected result");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(original.size()));
}

}  // namespace

BENCHMARK(BM_RunEveryPass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RunNoBox)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFolderWithCp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EveryPassInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionSpaceEntitiesEveryPass)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
