// Cost of recomputing response curves: one equaliser band (design + every column),
// one crossover, and the twelve-curve sum the graph draws for a channel.

#include "response/channel_responses.h"
#include "response/crossover_response.h"

#include <benchmark/benchmark.h>

namespace {

using namespace talvex;

void BM_BandRecompute(benchmark::State& state)
{
    const ResponseGrid grid;
    ResponseCurve curve{};
    MarkerPosition marker;
    int freq = 100;
    for (auto _ : state) {
        // A drag changes the code between calls; vary it so nothing is hoisted.
        freq = freq == 100 ? 101 : 100;
        bandResponse(grid, BandSettings{freq, static_cast<int>(state.range(0)), 170, 42}, marker, curve);
        benchmark::DoNotOptimize(curve.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BandRecompute)->Arg(kPeaking)->Arg(kLowShelf12)->Unit(benchmark::kMicrosecond);

void BM_HighPassRecompute(benchmark::State& state)
{
    const ResponseGrid grid;
    ResponseCurve curve{};
    for (auto _ : state) {
        highPassResponse(grid, 136, static_cast<int>(state.range(0)), curve);
        benchmark::DoNotOptimize(curve.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HighPassRecompute)->Arg(0)->Arg(11)->Unit(benchmark::kMicrosecond);

void BM_LowPassRecompute(benchmark::State& state)
{
    const ResponseGrid grid;
    ResponseCurve curve{};
    for (auto _ : state) {
        lowPassResponse(grid, 136, static_cast<int>(state.range(0)), curve);
        benchmark::DoNotOptimize(curve.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LowPassRecompute)->Arg(0)->Arg(10)->Arg(11)->Unit(benchmark::kMicrosecond);

void BM_ChannelSum(benchmark::State& state)
{
    const ResponseGrid grid;
    ChannelResponses store;
    ChannelCurves& ch = store.channel(2);
    highPassResponse(grid, 60, 9, ch.highPass);
    lowPassResponse(grid, 200, 10, ch.lowPass);
    for (int j = 0; j < kBandsPerChannel; ++j)
        bandResponse(grid, BandSettings{20 * j, j % 5, 100 + 7 * j, 4 * j}, ch.markers[j], ch.bands[j]);
    ResponseCurve sum{};
    for (auto _ : state) {
        store.sum(grid, 2, sum);
        benchmark::DoNotOptimize(sum.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ChannelSum)->Unit(benchmark::kMicrosecond);

void BM_GridForGeometry(benchmark::State& state)
{
    for (auto _ : state) {
        const ResponseGrid grid;
        benchmark::DoNotOptimize(&grid);
    }
}
BENCHMARK(BM_GridForGeometry)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
