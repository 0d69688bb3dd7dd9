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
#include "optimisation_run.h"
#include "page_list.h"
#include "posix/posix_platform.h"
#include "run_host.h"

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

// The file chooser showing one folder with every page selected, and the options of a run.
class BenchHost : public RunHost {
 public:
  BenchHost(std::string folder, const std::array<int, 15>& boxes,
            const std::array<std::string, 16>& fields)
      : folder_(std::move(folder)), entries_(ListPages(folder_)), boxes_(boxes), fields_(fields) {}

  std::string FolderPath() const override { return folder_; }
  std::string ListPath() const override { return folder_; }
  int EntryCount() const override { return static_cast<int>(entries_.size()); }
  std::string EntryName(int index) const override {
    return entries_[static_cast<std::size_t>(index)];
  }
  bool EntrySelected(int) const override { return true; }
  void RefreshList() override {}
  int CheckState(int box) const override { return boxes_[static_cast<std::size_t>(box)]; }
  std::string FieldText(int field) const override {
    return fields_[static_cast<std::size_t>(field)];
  }
  void SetTitle(const std::string&) override {}
  void SetBusyPointer(bool) override {}
  void ShowMessage(const std::string& text, MessageIcon) override { message_ = text; }
  VersionNumbers Version() const override { return {2, 5, 22}; }

 private:
  std::string folder_;
  std::vector<std::string> entries_;
  std::array<int, 15> boxes_;
  std::array<std::string, 16> fields_;
  std::string message_;
};

enum class Boxes { kNone, kAll };

// Every box that acts on lines: all but the backup (6) and the joining of lines (14); with
// replacement pairs and removal texts of the kind a user sets for word-processor output.
void SetUp(Boxes which, std::array<int, 15>& boxes, std::array<std::string, 16>& fields) {
  boxes.fill(0);
  if (which == Boxes::kNone) return;
  for (const int box : {1, 2, 3, 4, 7, 8, 9, 10, 11, 12, 13}) boxes[box] = 1;
  fields[1] = "<br />";
  fields[2] = "<br>";
  fields[3] = "&quot;";
  fields[4] = "\"";
  fields[5] = " class=\"western\"";
  fields[6] = "";
  fields[13] = " lang=\"en-US\"";
  fields[14] = "<tbody>";
  fields[15] = "</tbody>";
}

void BM_Run(benchmark::State& state, bool crlf, Boxes which) {
  Corpus& corpus = Corpus::Get();
  if (!corpus.Error().empty()) {
    state.SkipWithError(corpus.Error().c_str());
    return;
  }
  std::array<int, 15> boxes{};
  std::array<std::string, 16> fields;
  SetUp(which, boxes, fields);
  PosixPlatform platform;
  for (auto _ : state) {
    state.PauseTiming();
    corpus.ResetWork(crlf);
    std::vector<BenchHost> hosts;
    for (const fs::path& folder : corpus.PageFolders()) {
      hosts.emplace_back((corpus.Work() / folder).string(), boxes, fields);
    }
    state.ResumeTiming();
    for (BenchHost& host : hosts) {
      Optimiser optimiser(platform);
      if (optimiser.RunOptimisation(host) != RunOutcome::kStatistics) {
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
BENCHMARK_CAPTURE(BM_Run, lf_none, false, Boxes::kNone)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, crlf_none, true, Boxes::kNone)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, lf_all, false, Boxes::kAll)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Run, crlf_all, true, Boxes::kAll)
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
