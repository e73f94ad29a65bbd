#include <benchmark/benchmark.h>
static void BM_placeholder(benchmark::State& s) { for (auto _ : s) benchmark::DoNotOptimize(0); }
BENCHMARK(BM_placeholder);
