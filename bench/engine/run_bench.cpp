// Whole runs over a corpus of real pages, as the user starts them: every page of a folder
// selected, through RunOptimisation and the real file system, one run per folder. Next to them, a
// `cp -r` of the same pages is the speed of merely copying them.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "corpus.h"
#include "posix/posix_platform.h"
#include "run/optimisation_run.h"
#include "run/page_list.h"
#include "run/run_host.h"

namespace slimtag {
namespace {

namespace fs = std::filesystem;

using bench::Quoted;
using bench::TreeBytes;

// The corpus (bench/common) with a work folder beside its two forms. The corpus's scratch folder
// is also the working directory, so that the temporary file is on the same file system as the
// pages.
class Corpus {
 public:
  static Corpus& Get() {
    static Corpus corpus;
    return corpus;
  }

  const std::string& Error() const { return pages_.Error(); }
  const fs::path& Pristine(bool crlf) const { return pages_.Pristine(crlf); }
  std::uint64_t Bytes(bool crlf) const { return pages_.Bytes(crlf); }
  const std::vector<fs::path>& PageFolders() const { return pages_.PageFolders(); }
  fs::path Work() const { return pages_.Root() / "work"; }
  fs::path CopyTarget() const { return pages_.Root() / "copy"; }

  // Puts a fresh copy of one form in the work folder, written out to the disk so that the
  // writing of the copy does not fall into the time measured next.
  void ResetWork(bool crlf) const {
    fs::remove_all(Work());
    fs::copy(Pristine(crlf), Work(), fs::copy_options::recursive);
    ::sync();
  }

 private:
  Corpus() : pages_(bench::Corpus::Get()) {
    if (pages_.Error().empty()) fs::current_path(pages_.Root());
  }
  const bench::Corpus& pages_;
};

// The run's host: nothing to show.
class BenchHost : public RunHost {
 public:
  void RunFinished(const RunResult&) override {}
};

enum class Boxes { kNone, kAll };

// One folder with every page selected. Every box that acts on lines: all but the backup and the
// joining of lines; with replacement pairs and removal texts of the kind a user sets for
// word-processor output.
RunRequest RequestFor(Platform& platform, std::string folder, Boxes which, LineEndRule rule) {
  RunRequest request;
  request.temp_file = kTempFileName;  // as the window runs
  request.line_ends = rule;
  request.folder = folder;
  request.list_folder = folder;
  for (std::string& name : ListPages(platform, folder))
    request.entries.push_back({std::move(name)});
  if (which == Boxes::kNone) return request;
  for (const Box box : {Box::kTrimStart, Box::kTrimEnd, Box::kDropEmptyLines, Box::kEditorMeta,
                        Box::kSpaceEntity, Box::kTagBlanks, Box::kEmptyTags, Box::kLogicalTags,
                        Box::kColours, Box::kReplace, Box::kRemove}) {
    request.options.Tick(box);
  }
  request.texts.find = {"<br />", "&quot;", " class=\"western\""};
  request.texts.replace = {"<br>", "\"", ""};
  request.texts.remove = {" lang=\"en-US\"", "<tbody>", "</tbody>"};
  return request;
}

// The window's rule, or each page by its own line ends as slimtag-batch reads them by default
// (the LF pages line by line).
void BM_Run(benchmark::State& state, bool crlf, Boxes which, LineEndRule rule) {
  Corpus& corpus = Corpus::Get();
  if (!corpus.Error().empty()) {
    state.SkipWithError(corpus.Error().c_str());
    return;
  }
  PosixPlatform platform;
  BenchHost host;
  for (auto _ : state) {
    state.PauseTiming();
    corpus.ResetWork(crlf);
    std::vector<RunRequest> requests;
    for (const fs::path& folder : corpus.PageFolders()) {
      requests.push_back(RequestFor(platform, (corpus.Work() / folder).string(), which, rule));
    }
    state.ResumeTiming();
    for (const RunRequest& request : requests) {
      Optimiser optimiser(platform);
      if (optimiser.RunOptimisation(request, host) != RunOutcome::kStatistics) {
        state.SkipWithError("the run did not end with its statistics");
        break;
      }
    }
  }
  const double in = static_cast<double>(corpus.Bytes(crlf));
  state.counters["MB/s"] =
      benchmark::Counter(in / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["out/in"] = static_cast<double>(TreeBytes(corpus.Work())) / in;
}
BENCHMARK_CAPTURE(BM_Run, lf_none, false, Boxes::kNone, LineEndRule::kCrLf)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, crlf_none, true, Boxes::kNone, LineEndRule::kCrLf)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, lf_all, false, Boxes::kAll, LineEndRule::kCrLf)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, crlf_all, true, Boxes::kAll, LineEndRule::kCrLf)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, lf_lines_none, false, Boxes::kNone, LineEndRule::kByPage)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, lf_lines_all, false, Boxes::kAll, LineEndRule::kByPage)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A whole `cp -r` process, as a user would copy the folder.
void BM_CopyTree(benchmark::State& state, bool crlf) {
  Corpus& corpus = Corpus::Get();
  if (!corpus.Error().empty()) {
    state.SkipWithError(corpus.Error().c_str());
    return;
  }
  const std::string command =
      "cp -r " + Quoted(corpus.Pristine(crlf)) + " " + Quoted(corpus.CopyTarget());
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(corpus.CopyTarget());
    ::sync();
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("cp -r failed");
      break;
    }
  }
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(corpus.Bytes(crlf)) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK_CAPTURE(BM_CopyTree, lf, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CopyTree, crlf, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace slimtag
