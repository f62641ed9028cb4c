#include "response/band_response.h"

#include "model/value_tables.h"
#include "response/crossover_response.h"

#include <algorithm>
#include <cmath>

namespace talvex {

const std::array<double, kCurveQCodes> kCurveQTable = [] {
    std::array<double, kCurveQCodes> t{};
    for (int i = 0; i < kCurveQCodes; ++i)
        t[i] = 0.2 * (i + 1);
    return t;
}();

namespace {

struct Shelf {
    double frequencyFactor;
    double slope;
};

// Indexed by band type 1..4.
constexpr std::array<Shelf, 5> kShelves = {{
    {0, 0},
    {2.0, 0.5},           // LS6
    {1.2727272727, 1.3},  // LS12
    {0.4545454546, 0.5},  // HS6
    {0.76923076923, 1.3}, // HS12
}};

Biquad peaking(double f, double g, double q)
{
    const double x = 1.0 / (2.0 * q);
    const double bw = std::log(x + std::sqrt(x * x + 1.0)) / 0.34657359;
    const double w0 = f * kDesignAngle;
    const double A = std::pow(10.0, g / 40.0);
    const double sw = std::sin(w0);
    const double alpha = sw * std::sinh(0.69314718 * bw * w0 / sw);
    const double cw2 = -2.0 * std::cos(w0);
    return Biquad::fromRaw(1.0 + alpha / A, cw2, 1.0 - alpha / A, 1.0 + alpha * A, cw2, 1.0 - alpha * A);
}

Biquad shelving(int type, double f, double g)
{
    const Shelf& shelf = kShelves[type];
    const double w0 = f * kDesignAngle * shelf.frequencyFactor;
    const double A = std::pow(10.0, g / 40.0);
    const double c = std::cos(w0);
    const double alpha = std::sin(w0) / 2.0 * std::sqrt((A + 1.0 / A) * (1.0 / shelf.slope - 1.0) + 2.0);
    const double beta = 2.0 * std::sqrt(A) * alpha;
    if (type == kLowShelf6 || type == kLowShelf12)
        return Biquad::fromRaw((A + 1) + (A - 1) * c + beta, -2.0 * ((A - 1) + (A + 1) * c),
                               (A + 1) + (A - 1) * c - beta, A * ((A + 1) - (A - 1) * c + beta),
                               2.0 * A * ((A - 1) - (A + 1) * c), A * ((A + 1) - (A - 1) * c - beta));
    return Biquad::fromRaw((A + 1) - (A - 1) * c + beta, 2.0 * ((A - 1) - (A + 1) * c),
                           (A + 1) - (A - 1) * c - beta, A * ((A + 1) + (A - 1) * c + beta),
                           -2.0 * A * ((A - 1) + (A + 1) * c), A * ((A + 1) + (A - 1) * c - beta));
}

} // namespace

BandSettings bandFromRecord(std::span<const int, 8> record)
{
    BandSettings b;
    b.frequencyCode = std::clamp(record[0], 0, kFrequencyCodes - 1);
    b.type = record[1];
    b.gainCode = std::clamp(record[2] + 256 * record[3], 0, kEqGainCodes - 1);
    b.qCode = std::clamp(record[6] + 256 * record[7], 0, kCurveQCodes - 1);
    return b;
}

MarkerPosition bandMarker(const GraphGeometry& geometry, const BandSettings& band)
{
    return {frequencyToColumn(geometry, frequencyAt(band.frequencyCode)), levelToRow(geometry, eqGainAt(band.gainCode))};
}

std::optional<Biquad> designBand(const BandSettings& band)
{
    if (band.type < kPeaking || band.type > kHighShelf12)
        return std::nullopt;
    const double g = eqGainAt(band.gainCode);
    if (g == 0.0)
        return Biquad{};
    const double f = frequencyAt(band.frequencyCode);
    if (band.type == kPeaking)
        return peaking(f, g, kCurveQTable[std::clamp(band.qCode, 0, kCurveQCodes - 1)]);
    return shelving(band.type, f, g);
}

void bandResponse(const ResponseGrid& grid, const BandSettings& band, MarkerPosition& marker, ResponseCurve& curve)
{
    marker = bandMarker(grid.geometry(), band);
    if (const std::optional<Biquad> section = designBand(band))
        evaluateSections(grid, std::span(&*section, 1), curve);
}

} // namespace talvex
