#include <benchmark/benchmark.h>

#include <string>

#include "edit_buffer.h"
#include "pattern.h"

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

}  // namespace
}  // namespace slimtag
