#include "response/graph_geometry.h"

#include <cmath>

namespace talvex {

namespace {

// Truncates toward zero like the pixel mappings want, without the undefined
// behaviour of casting an infinite or huge value (0 Hz, degenerate geometry).
int toPixel(double v)
{
    if (std::isnan(v))
        return 0;
    constexpr double kLimit = 1e6;
    if (v > kLimit)
        return static_cast<int>(kLimit);
    if (v < -kLimit)
        return static_cast<int>(-kLimit);
    return static_cast<int>(v);
}

} // namespace

int frequencyToColumn(const GraphGeometry& g, double hz)
{
    return toPixel(std::log10(hz / 20.0) * g.decadeSpan() / 3.0 + 41 + g.leftMargin());
}

double columnToFrequency(const GraphGeometry& g, double column)
{
    return 20.0 * std::pow(10.0, 3.0 * (column - 41 - g.leftMargin()) / g.decadeSpan());
}

int levelToRow(const GraphGeometry& g, double level)
{
    return toPixel(levelToExactRow(g, level));
}

double levelToExactRow(const GraphGeometry& g, double level)
{
    return (15.0 - level) / 45.0 * (g.height - 38) + 16;
}

double rowToLevel(const GraphGeometry& g, double row)
{
    return 15.0 - (45.0 * row - 720.0) / (g.height - 38);
}

} // namespace talvex
