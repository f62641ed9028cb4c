#pragma once
// One second-order section, normalised, and the summed level of up to four of them
// at every evaluation column.

#include "response/response_grid.h"

#include <span>

namespace talvex {

struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0; // pass-through by default

    // Normalises raw coefficients by A0; an A0 of exactly 0 counts as 1e-10.
    static Biquad fromRaw(double A0, double A1, double A2, double B0, double B1, double B2);
    bool isPassThrough() const { return b0 == 1.0 && b1 == 0.0 && b2 == 0.0 && a1 == 0.0 && a2 == 0.0; }
    // Curve level of this section at angular frequency ω given as cos ω and sin ω.
    double level(double cosW, double sinW) const;
};

// Curve level of a magnitude: 40 × ln|H| / ln 101.
double curveLevel(double magnitude);

// Fills the grid's columns of `curve` with the sum of the sections' levels.
// Pass-through sections add exactly 0.
void evaluateSections(const ResponseGrid& grid, std::span<const Biquad> sections, ResponseCurve& curve);

} // namespace talvex
