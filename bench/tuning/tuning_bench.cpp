// What a tuner waits for:
// - the fit of one channel to a measurement (goal: under 2 s), beside the
//   exhaustive coordinate descent it must match; the RMS deviation each reaches
//   is reported as a counter (dB);
// - the drag step of the graph with a measurement, its prediction and a target
//   shown (goal: under 1 ms): the dragged band's recompute plus the full redraw.
// Runs offscreen; no window is shown.

#include "editing/response_graph.h"
#include "model/parameter_model.h"
#include "response/band_response.h"
#include "response/eq_match.h"


#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

using namespace talvex;

// A loudspeaker with room modes, a presence peak, a broad hole and a narrow dip, plus noise.
std::vector<double> measuredSpeaker(const ResponseGrid& grid)
{
    std::vector<double> curve(std::size_t(grid.columnCount()), 0.0);
    ResponseCurve one{};
    MarkerPosition marker;
    for (const BandSettings& b : {BandSettings{45, kPeaking, 160, 30}, BandSettings{62, kPeaking, 150, 25},
                                  BandSettings{110, kPeaking, 95, 4}, BandSettings{170, kPeaking, 145, 12},
                                  BandSettings{200, kPeaking, 135, 20}}) {
        one.fill(0.0);
        bandResponse(grid, b, marker, one);
        for (std::size_t i = 0; i < curve.size(); ++i)
            curve[i] += one[i];
    }
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 0.4);
    for (int i = 0; i < grid.columnCount(); ++i)
        curve[std::size_t(i)] += noise(random) - 18 * std::exp(-0.5 * std::pow(std::log2(grid.frequency(i) / 900) * 20, 2));
    match::shiftToZeroMean(grid, curve, 60, 12000);
    return curve;
}

match::ChannelRecords defaultChannel()
{
    match::ChannelRecords r;
    r.crossover = {0, 0, 0, 0, 240, 0, 0, 0};
    for (int j = 0; j < 10; ++j)
        r.bands[std::size_t(j)] = {10 * j, 0, 120, 0, 120, 0, 42, 0};
    return r;
}

void BM_MatchOneChannel(benchmark::State& state)
{
    const ResponseGrid grid;
    const std::vector<double> measured = measuredSpeaker(grid);
    double before = 0, after = 0;
    for (auto _ : state) {
        const match::Problem problem(grid, measured, defaultChannel(), {});
        const match::Fit fit = match::fit(problem);
        before = fit.rmsBefore;
        after = problem.rms(fit.bands);
        benchmark::DoNotOptimize(after);
    }
    state.counters["rms_before_db"] = before;
    state.counters["rms_after_db"] = after;
}
BENCHMARK(BM_MatchOneChannel)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExhaustiveCoordinateDescent(benchmark::State& state)
{
    const ResponseGrid grid;
    const std::vector<double> measured = measuredSpeaker(grid);
    const match::Problem problem(grid, measured, defaultChannel(), {});
    double rms = 0;
    for (auto _ : state) {
        rms = problem.rms(match::coordinateDescent(problem, problem.start()));
        benchmark::DoNotOptimize(rms);
    }
    state.counters["rms_after_db"] = rms;
}
BENCHMARK(BM_ExhaustiveCoordinateDescent)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DragStepWithMeasurement(benchmark::State& state)
{
    ResponseGraphRenderer renderer;
    ParameterModel model;
    model.writeDefaults();
    const int c = 2;
    model.image[crossoverRecord(c) + kHpfFrequency] = 60;
    model.image[crossoverRecord(c) + kHpfType] = 9;
    ChannelResponses responses;
    responses.recomputeChannel(renderer.grid(), model, c);
    ChannelOverlays overlays;
    overlays[c].measured = measuredSpeaker(renderer.grid());
    overlays[c].target = match::targetCurve(renderer.grid(), {});
    renderer.setOverlays(&overlays);
    QImage image;
    const int record = bandRecord(c, 4);
    int step = 0;
    for (auto _ : state) {
        model.image[record + kBandFrequency] = 100 + (step++ & 31);
        responses.recomputeBand(renderer.grid(), model, c, 4);
        renderer.drawResponseCurve(image, responses, c);
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DragStepWithMeasurement)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
