#pragma once
// High-pass and low-pass crossover filters of the twelve slope/alignment types,
// designed as four biquad slots at 96 kHz and evaluated on the response grid.

#include "response/biquad.h"

#include <array>

namespace talvex {

inline constexpr int kCrossoverTypes = 12; // "12db-Bworth" .. "48db-Bessel"
// Design angle per Hz of corner frequency (≈ 2π / 96000).
inline constexpr double kDesignAngle = 0.00006544985;

using CrossoverDesign = std::array<Biquad, 4>;

// Frequency codes are clamped to the frequency table (0..243); type codes above
// 11 design type 11. High-pass code 0 designs a 1 Hz corner; low-pass code 243
// designs 60000 Hz, and a low-pass corner at or above 20100 Hz is flat.
CrossoverDesign designHighPass(int frequencyCode, int typeCode);
CrossoverDesign designLowPass(int frequencyCode, int typeCode);

void highPassResponse(const ResponseGrid& grid, int frequencyCode, int typeCode, ResponseCurve& curve);
void lowPassResponse(const ResponseGrid& grid, int frequencyCode, int typeCode, ResponseCurve& curve);

} // namespace talvex
