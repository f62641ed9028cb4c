#include "response/biquad.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace talvex {

namespace {

// 40 × ln|H| / ln 101 = (20 / ln 101) × ln |H|²
const double kLevelPerLnPower = 20.0 / std::log(101.0);

// |H|² of a section at ω, from the numerator and denominator multiplied by e^{jω}.
double powerRatio(const Biquad& s, double c, double sn)
{
    const double nr = s.b0 * c + s.b1 + s.b2 * c;
    const double ni = s.b0 * sn - s.b2 * sn;
    const double dr = c + s.a1 + s.a2 * c;
    const double di = sn - s.a2 * sn;
    return (nr * nr + ni * ni) / (dr * dr + di * di);
}

} // namespace

Biquad Biquad::fromRaw(double A0, double A1, double A2, double B0, double B1, double B2)
{
    if (A0 == 0.0)
        A0 = 1e-10;
    return Biquad{B0 / A0, B1 / A0, B2 / A0, A1 / A0, A2 / A0};
}

double Biquad::level(double cosW, double sinW) const
{
    return kLevelPerLnPower * std::log(powerRatio(*this, cosW, sinW));
}

double curveLevel(double magnitude)
{
    return 40.0 * std::log(magnitude) / std::log(101.0);
}

void evaluateSections(const ResponseGrid& grid, std::span<const Biquad> sections, ResponseCurve& curve)
{
    const int count = grid.columnCount();
    // The sum of the section levels is the level of the product of their |H|²:
    // one logarithm per column instead of one per section.
    std::array<double, kCurveCapacity> power;
    std::fill_n(power.begin(), count, 1.0);
    bool flat = true;
    for (const Biquad& s : sections) {
        if (s.isPassThrough())
            continue;
        flat = false;
        for (int i = 0; i < count; ++i)
            power[i] *= powerRatio(s, grid.cosOmega(i), grid.sinOmega(i));
    }
    if (flat) {
        std::fill_n(curve.begin(), count, 0.0);
        return;
    }
    for (int i = 0; i < count; ++i)
        curve[i] = kLevelPerLnPower * std::log(power[i]);
}

} // namespace talvex
