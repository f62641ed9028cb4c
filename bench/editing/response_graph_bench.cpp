// Cost of what the user waits for on the equaliser page:
// - one drag step: the dragged band's recompute plus the full redraw of the graph
//   image (background copy, ten markers, the 672-segment curve), at 100 % and at
//   the device pixel ratios of high-DPI screens (argument: ratio in per cent);
// - a page switch: both crossovers and all ten bands of the channel plus the redraw;
// - the drag step through the page's move handler, with the image shown in its label.
// Runs offscreen; no window is shown.

#include "editing/eq_page.h"
#include "editing/parameter_editor.h"
#include "editing/response_graph.h"
#include "model/parameter_model.h"
#include "ui/main_window_layout.h"

#include <QMainWindow>

#include <benchmark/benchmark.h>

namespace {

using namespace talvex;

struct Page {
    ParameterModel model;
    ChannelResponses responses;
    QImage image;

    explicit Page(const ResponseGraphRenderer& renderer)
    {
        model.writeDefaults();
        const int c = 2; // Mid, with steep filters and every band type
        model.image[crossoverRecord(c) + kHpfFrequency] = 60;
        model.image[crossoverRecord(c) + kHpfType] = 9;
        model.image[crossoverRecord(c) + kLpfFrequency] = 200;
        model.image[crossoverRecord(c) + kLpfType] = 11;
        for (int j = 0; j < kBandsPerChannel; ++j) {
            const int record = bandRecord(c, j);
            model.image[record + kBandFrequency] = 20 * j + 10;
            model.image[record + kBandType] = j % 5;
            model.setCode16(record + kBandGain, 100 + 7 * j);
        }
        responses.recomputeChannel(renderer.grid(), model, c);
        renderer.drawResponseCurve(image, responses, c);
    }
};

const ResponseGraphRenderer& renderer()
{
    static const ResponseGraphRenderer instance;
    return instance;
}

void BM_DragStep(benchmark::State& state)
{
    const ResponseGraphRenderer atRatio(GraphGeometry{}, qreal(state.range(0)) / 100);
    Page page(atRatio);
    const int c = 2;
    const int record = bandRecord(c, 4);
    int step = 0;
    for (auto _ : state) {
        // A movement that changes the band's frequency code, as a drag does.
        page.model.image[record + kBandFrequency] = 100 + (step++ & 31);
        page.responses.recomputeBand(atRatio.grid(), page.model, c, 4);
        atRatio.drawResponseCurve(page.image, page.responses, c);
        benchmark::DoNotOptimize(page.image.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DragStep)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_PageSwitch(benchmark::State& state)
{
    Page page(renderer());
    int c = 0;
    for (auto _ : state) {
        c = (c + 1) % 4;
        page.responses.recomputeChannel(renderer().grid(), page.model, c);
        renderer().drawResponseCurve(page.image, page.responses, c);
        benchmark::DoNotOptimize(page.image.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PageSwitch)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_RedrawOnly(benchmark::State& state)
{
    Page page(renderer());
    for (auto _ : state) {
        renderer().drawResponseCurve(page.image, page.responses, 2);
        benchmark::DoNotOptimize(page.image.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RedrawOnly)->Unit(benchmark::kMicrosecond);

// The same drag step as the page runs it: pointer move handler, box texts,
// recompute, redraw and the hand-over of the image to img_eqbackground.
void BM_DragStepOnPage(benchmark::State& state)
{
    QMainWindow window;
    const MainWindowViews views = buildMainWindowLayout(window);
    ParameterModel model;
    model.writeDefaults();
    EditingContext editing;
    ParameterEditor editor(model);
    EqPage page(views.eqPage, editor, editing);
    page.selectPage(0);
    const MarkerPosition m = page.graph().responses().channel(0).markers[4];
    page.graph().pointerPressed(m.x, m.y);
    int step = 0;
    for (auto _ : state) {
        // Alternate between two columns a frequency code apart.
        page.graph().pointerMoved(300 + 3 * (step++ & 1), 60);
        benchmark::ClobberMemory();
    }
    page.graph().pointerReleased(300, 60);
}
BENCHMARK(BM_DragStepOnPage)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

} // namespace
