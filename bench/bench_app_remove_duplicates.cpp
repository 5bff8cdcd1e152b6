// RemoveDuplicates over crawl-sized URL lists, beside the plain algorithm
// that scans the kept entries for each entry.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>

#include "app/text_array.h"

namespace {

// `count` URLs of which half repeat an earlier one, in random order.
qc::TextArray MakeUrls(int count) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> pick(0, count / 2 - 1);
  qc::TextArray urls;
  for (int i = 0; i < count / 2; ++i) urls.Append("https://www.a.example/article/" + std::to_string(i) + ".html");
  for (int i = count / 2; i < count; ++i) urls.Append(urls.At(static_cast<std::size_t>(pick(random)) + 1));
  std::shuffle(urls.Items().begin(), urls.Items().end(), random);
  return urls;
}

int RemoveDuplicatesByScanning(qc::TextArray& list) {
  qc::TextArray kept;
  for (const qc::Text& item : list) {
    if (!kept.Contains(item)) kept.Append(item);
  }
  list = std::move(kept);
  return static_cast<int>(list.Count());
}

void BM_RemoveDuplicates(benchmark::State& state) {
  const qc::TextArray urls = MakeUrls(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    qc::TextArray list = urls;
    state.ResumeTiming();
    benchmark::DoNotOptimize(qc::RemoveDuplicates(list));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RemoveDuplicates)->Arg(5000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RemoveDuplicatesByScanning(benchmark::State& state) {
  const qc::TextArray urls = MakeUrls(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    qc::TextArray list = urls;
    state.ResumeTiming();
    benchmark::DoNotOptimize(RemoveDuplicatesByScanning(list));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RemoveDuplicatesByScanning)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
