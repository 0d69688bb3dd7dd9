// The line passes alone, in memory, on the lines of the page corpus: every line box ticked
// (--check 1,2,3,4,7,8,9,10,11; Check3 is the output's) in three forms: lf, the LF pages under the
// window's rule, where each page is one long line; lf_lines, the LF pages as slimtag-batch reads
// them by default, where a LF ends a line; crlf, the CR LF pages. In the last two the run hands the
// passes the lines of a block at once. Then the whole of a page's way through memory: reader,
// passes and output.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "corpus.h"
#include "lines/line_pipeline.h"
#include "lines/line_reader.h"
#include "run/stream_optimiser.h"

namespace slimtag {
namespace {

class StringSource : public ByteSource {
 public:
  explicit StringSource(const std::string& bytes) : bytes_(bytes) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
};

// The corpus's pages and how their lines end (the benchmarks' second argument).
enum Form { kLf, kCrLf, kLfLines };
bool CrLf(int form) {
  return form == kCrLf;
}
bool LfEndsLines(int form) {
  return form == kLfLines;
}
LineEndRule RuleOf(int form) {
  return LfEndsLines(form) ? LineEndRule::kAsRead : LineEndRule::kCrLf;
}

struct CorpusLines {
  struct Piece {
    std::string text;
    bool whole_lines;  // lines as the reader's block holds them, for ApplyToLines; else one line
  };
  std::vector<Piece> pieces;
  std::int64_t bytes = 0;  // of the pages, terminators included
};

// The pages exactly as the run's reader hands them to the passes (the boxes here never tie a
// line to the next).
CorpusLines LinesOf(int form) {
  CorpusLines out;
  for (const bench::PageText& page : bench::Corpus::Get().Pages(CrLf(form))) {
    StringSource source(page.bytes);
    LineReader reader(source, LineReader::kBlockSize, LfEndsLines(form));
    std::string text;
    for (;;) {
      if (const std::string_view lines = reader.ReadWholeLines(); !lines.empty()) {
        out.pieces.push_back({std::string(lines), true});
      } else if (reader.ReadLine(text)) {
        out.pieces.push_back({text, false});
      } else {
        break;
      }
    }
    out.bytes += static_cast<std::int64_t>(page.bytes.size());
  }
  return out;
}

RunOptions EveryLineBox() {
  RunOptions options;
  for (const int box : {1, 2, 3, 4, 7, 8, 9, 10, 11})
    options.box[static_cast<std::size_t>(box)] = 1;
  return options;
}

bool CorpusMissing(benchmark::State& state) {
  if (bench::Corpus::Get().Error().empty()) return false;
  state.SkipWithError(bench::Corpus::Get().Error().c_str());
  return true;
}

// The corpus's lines in one form through a pipeline of the ticked boxes, each piece copied first
// as the run's reader would hand it over; by the fastest build of the passes, or the one given.
// With share, a large piece is shared among the processor's cores, as the run shares it; without,
// every piece goes through the passes on this thread alone.
void RunCorpusLines(benchmark::State& state, int form, const RunOptions& options,
                    const ScanningPasses& build = FastestScanningPasses(), bool share = true) {
  if (CorpusMissing(state)) return;
  const CorpusLines corpus = LinesOf(form);
  LinePipeline pipeline(options, {}, Encoding::Utf8, build);
  if (!share) pipeline.ShareFrom(0, 1);
  std::string text;
  for (auto _ : state) {
    for (const CorpusLines::Piece& piece : corpus.pieces) {
      if (piece.whole_lines) {
        // Copies as it trims; the pieces' lines are used where they are.
        pipeline.ApplyToLines(
            piece.text, text, false, LfEndsLines(form),
            [](std::string_view lines) { benchmark::DoNotOptimize(lines.data()); });
      } else {
        text.assign(piece.text);
        pipeline.Apply(text);
      }
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
}

// Timed by the clock, as the helpers' shares cost this thread nothing.
void BM_CorpusPassesInMemory(benchmark::State& state, int form) {
  RunCorpusLines(state, form, EveryLineBox());
}
BENCHMARK_CAPTURE(BM_CorpusPassesInMemory, lf, kLf)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CorpusPassesInMemory, lf_lines, kLfLines)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CorpusPassesInMemory, crlf, kCrLf)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same on one thread: what one core does.
void BM_CorpusPassesOneThread(benchmark::State& state, int form) {
  RunCorpusLines(state, form, EveryLineBox(), FastestScanningPasses(), false);
}
BENCHMARK_CAPTURE(BM_CorpusPassesOneThread, lf_lines, kLfLines)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusPassesOneThread, crlf, kCrLf)->Unit(benchmark::kMillisecond);

// One line box at a time (the first argument), in the form of the second argument (Form): where
// the time of the run above goes. Box 0 is none: the copy of each line and the loop alone; box -1
// is every line box.
void BM_CorpusOneBoxInMemory(benchmark::State& state) {
  RunOptions options = state.range(0) < 0 ? EveryLineBox() : RunOptions();
  if (state.range(0) > 0) options.box[static_cast<std::size_t>(state.range(0))] = 1;
  RunCorpusLines(state, static_cast<int>(state.range(1)), options);
}
BENCHMARK(BM_CorpusOneBoxInMemory)
    ->ArgsProduct({{-1, 0, 1, 2, 4, 7, 8, 9, 10, 11}, {kLf, kCrLf, kLfLines}})
    ->Unit(benchmark::kMillisecond);

// The same by the build of the passes (third argument: the place in SupportedScanningPasses, 0
// the baseline, then SSSE3 and AVX2 where this processor runs them): what the wide builds win.
void BM_CorpusOneBoxByBuild(benchmark::State& state) {
  const std::vector<NamedScanningPasses> builds = SupportedScanningPasses();
  const auto place = static_cast<std::size_t>(state.range(2));
  if (place >= builds.size()) {
    state.SkipWithError("this processor runs no such build");
    return;
  }
  state.SetLabel(builds[place].name);
  RunOptions options = state.range(0) < 0 ? EveryLineBox() : RunOptions();
  if (state.range(0) > 0) options.box[static_cast<std::size_t>(state.range(0))] = 1;
  RunCorpusLines(state, static_cast<int>(state.range(1)), options, *builds[place].passes);
}
BENCHMARK(BM_CorpusOneBoxByBuild)
    ->ArgsProduct({{-1, 1, 2, 4, 7, 8, 9, 10, 11}, {kLf, kCrLf, kLfLines}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

// The floor of the passes: the corpus's bytes copied, and searched for a byte, in the same pieces
// as the passes take them.
void BM_CorpusMemcpy(benchmark::State& state, int form) {
  if (CorpusMissing(state)) return;
  const CorpusLines corpus = LinesOf(form);
  std::string text;
  for (auto _ : state) {
    for (const CorpusLines::Piece& piece : corpus.pieces) {
      text.assign(piece.text);
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
}
BENCHMARK_CAPTURE(BM_CorpusMemcpy, lf, kLf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusMemcpy, crlf, kCrLf)->Unit(benchmark::kMillisecond);

void BM_CorpusMemchr(benchmark::State& state, int form) {
  if (CorpusMissing(state)) return;
  const CorpusLines corpus = LinesOf(form);
  for (auto _ : state) {
    std::size_t found = 0;
    for (const CorpusLines::Piece& piece : corpus.pieces) {
      found += std::memchr(piece.text.data(), '\0', piece.text.size()) != nullptr ? 1 : 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
}
BENCHMARK_CAPTURE(BM_CorpusMemchr, lf, kLf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusMemchr, crlf, kCrLf)->Unit(benchmark::kMillisecond);

// Each page from memory through the run's reader, the passes of every line box and the output,
// Check3 included, to a sink that only counts.
void BM_CorpusPagesInMemory(benchmark::State& state, int form) {
  if (CorpusMissing(state)) return;
  class CountingSink : public ByteSink {
   public:
    void Write(std::string_view bytes) override { written += bytes.size(); }
    std::size_t written = 0;
  } sink;
  const std::vector<bench::PageText> pages = bench::Corpus::Get().Pages(CrLf(form));
  const RunOptions options = EveryLineBox();
  const LinePipeline pipeline(options, {}, Encoding::Utf8);
  const OutputOptions output{options.Ticked(Box::kJoinLines), options.Ticked(Box::kDropEmptyLines)};
  std::vector<char> block(LineReader::kBlockSize);
  std::string line;
  std::int64_t bytes = 0;
  for (const bench::PageText& page : pages) bytes += static_cast<std::int64_t>(page.bytes.size());
  for (auto _ : state) {
    for (const bench::PageText& page : pages) {
      StringSource source(page.bytes);
      LineReader reader(source, block.data(), block.size(), LfEndsLines(form));
      JoinState join;
      OptimiseLines(reader, pipeline, output, RuleOf(form), join, line, sink);
    }
  }
  benchmark::DoNotOptimize(sink.written);
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK_CAPTURE(BM_CorpusPagesInMemory, lf, kLf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusPagesInMemory, lf_lines, kLfLines)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusPagesInMemory, crlf, kCrLf)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace slimtag
