#include <benchmark/benchmark.h>

#include <string>

#include "text/pattern.h"
#include "text/replace_all.h"

namespace slimtag {
namespace {

// A 10 MB line of 1,000,000 entities with four letters before each; the empty replacement leaves
// the letters alone.
std::string MillionEntities() {
  std::string line;
  line.reserve(10'000'000);
  for (int i = 0; i < 1'000'000; ++i) line += "abcd&nbsp;";
  return line;
}

void CheckResult(benchmark::State& state, const std::string& line) {
  if (line.size() != 4'000'000 || line.find('&') != std::string::npos) {
    state.SkipWithError("ReplaceAll left entities behind");
  }
}

void BM_ReplaceAllMillionEntities(benchmark::State& state) {
  const std::string original = MillionEntities();
  const Pattern needle("&nbsp;", Encoding::Utf8);
  for (auto _ : state) {
    state.PauseTiming();
    std::string line = original;
    state.ResumeTiming();
    ReplaceAll(line, needle, "");
    benchmark::DoNotOptimize(line.data());
    CheckResult(state, line);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}
BENCHMARK(BM_ReplaceAllMillionEntities)->Unit(benchmark::kMillisecond);

// The same through the form that prepares the needle for the one use, as a pass of the user's
// own texts would not.
void BM_ReplaceAllMillionEntitiesUnprepared(benchmark::State& state) {
  const std::string original = MillionEntities();
  for (auto _ : state) {
    state.PauseTiming();
    std::string line = original;
    state.ResumeTiming();
    ReplaceAll(line, "&NBSP;", "", Encoding::Utf8);
    benchmark::DoNotOptimize(line.data());
    CheckResult(state, line);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}
BENCHMARK(BM_ReplaceAllMillionEntitiesUnprepared)->Unit(benchmark::kMillisecond);

// A removal text of 100,000 bytes on a 10 MB line: 99,999 letters and one other on a line of the
// letter (0: absent; 1: present once, in the middle); and "ab" 50,000 times on runs of "ab" cut
// by an "x" every 90,000 bytes (2: absent, and every "b" a place where the check fails late).
void BM_LongRemovalTextOnLongLine(benchmark::State& state) {
  std::string needle = std::string(99'999, 'a') + "b";
  std::string original(10'000'000, 'a');
  const bool present = state.range(0) == 1;
  if (present) original.replace(original.size() / 2, needle.size(), needle);
  if (state.range(0) == 2) {
    needle.clear();
    for (int i = 0; i < 50'000; ++i) needle += "ab";
    original.clear();
    while (original.size() < 10'000'000) {
      for (int i = 0; i < 44'999; ++i) original += "ab";
      original += 'x';
    }
  }
  const Pattern pattern(needle, Encoding::Utf8);
  for (auto _ : state) {
    state.PauseTiming();
    std::string line = original;
    state.ResumeTiming();
    const bool changed = ReplaceAll(line, pattern, "");
    if (changed != present) state.SkipWithError("wrong result");
    benchmark::DoNotOptimize(line.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}
BENCHMARK(BM_LongRemovalTextOnLongLine)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace slimtag
