// The line passes alone, in memory, on the lines of the page corpus: every line box ticked
// (--check 1,2,3,4,7,8,9,10,11; Check3 is the output's) in the LF form, where each page is one
// long line, and in the CR LF form.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "corpus.h"
#include "line_pipeline.h"
#include "line_reader.h"

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

struct CorpusLines {
  std::vector<std::string> lines;
  std::int64_t bytes = 0;  // of the pages, terminators included
};

// The lines exactly as the run's reader splits the pages.
CorpusLines LinesOf(bool crlf) {
  CorpusLines out;
  for (const bench::PageText& page : bench::Corpus::Get().Pages(crlf)) {
    StringSource source(page.bytes);
    LineReader reader(source);
    std::string line;
    while (reader.ReadLine(line)) out.lines.push_back(line);
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

// The corpus's lines in one form through a pipeline of the ticked boxes, each line copied first as
// the run's reader would hand it over.
void RunCorpusLines(benchmark::State& state, bool crlf, const RunOptions& options) {
  if (!bench::Corpus::Get().Error().empty()) {
    state.SkipWithError(bench::Corpus::Get().Error().c_str());
    return;
  }
  const CorpusLines corpus = LinesOf(crlf);
  const LinePipeline pipeline(options, {}, Encoding::Utf8);
  std::string line;
  for (auto _ : state) {
    for (const std::string& original : corpus.lines) {
      line.assign(original);
      pipeline.Apply(line);
      benchmark::DoNotOptimize(line.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
}

void BM_CorpusPassesInMemory(benchmark::State& state, bool crlf) {
  RunCorpusLines(state, crlf, EveryLineBox());
}
BENCHMARK_CAPTURE(BM_CorpusPassesInMemory, lf, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusPassesInMemory, crlf, true)->Unit(benchmark::kMillisecond);

// One line box at a time (the first argument), in the LF form (second argument 0) or the CR LF
// form (1): where the time of the run above goes. Box 0 is none: the copy of each line and the
// loop alone.
void BM_CorpusOneBoxInMemory(benchmark::State& state) {
  RunOptions options;
  if (state.range(0) != 0) options.box[static_cast<std::size_t>(state.range(0))] = 1;
  RunCorpusLines(state, state.range(1) != 0, options);
}
BENCHMARK(BM_CorpusOneBoxInMemory)
    ->ArgsProduct({{0, 1, 2, 4, 7, 8, 9, 10, 11}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace slimtag
