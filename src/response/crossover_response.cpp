#include "response/crossover_response.h"

#include "model/value_tables.h"

#include <algorithm>
#include <cmath>

namespace talvex {

namespace {

// Per type: slot constants k = 1/(2Q) (0 = pass-through slot); in the 18 dB types
// slot 0 holds the scale m of a first-order section instead.
struct SectionConstants {
    std::array<double, 4> slot;
    bool firstOrderSlot0;
    double highPassBesselDivisor; // 0 for the non-Bessel types
};

constexpr std::array<SectionConstants, kCrossoverTypes> kTypes = {{
    {{0.70422535, 0, 0, 0}, false, 0},                                  // 12db-Bworth
    {{1.0, 0, 0, 0}, false, 0},                                         // 12db-LR
    {{0.86206897, 0, 0, 0}, false, 1.2683112435},                       // 12db-Bessel
    {{1.0, 0.5, 0, 0}, true, 0},                                        // 18db-Bworth
    {{1.0, 0.70422535211, 0, 0}, true, 0},                              // 18db-LR
    {{0.756, 0.72463768, 0, 0}, true, 1.2854981442},                    // 18db-Bessel
    {{0.92592593, 0.38167939, 0, 0}, false, 0},                         // 24db-Bworth
    {{0.70422535211, 0.70422535211, 0, 0}, false, 0},                   // 24db-LR
    {{0.96153846, 0.61728395, 0, 0}, false, 1.5006420029},              // 24db-Bessel
    {{0.98039216, 0.83333333, 0.55555556, 0.1953125}, false, 0},        // 48db-Bworth
    {{0.92592592593, 0.373134315, 0.92592592593, 0.373134315}, false, 0}, // 48db-LR
    {{0.98039216, 0.89285714, 0.70422535, 0.40650406}, false, 1.679120141}, // 48db-Bessel
}};

// Low-pass Bessel types: analog prototype sections 1 / (c2·s² + c1·s + 1).
struct Prototype {
    double c1, c2; // c1 = 0: pass-through slot
};
struct BesselLowPass {
    double divisor;
    std::array<Prototype, 4> slot;
};

constexpr BesselLowPass kBesselLowPass2 = {1.3616541287, {{{1.0, 0.3333333333}, {0, 0}, {0, 0}, {0, 0}}}};
constexpr BesselLowPass kBesselLowPass5 = {
    1.75567236868, {{{0.5693712514, 0.154812441}, {0.430628846, 0}, {0, 0}, {0, 0}}}};
constexpr BesselLowPass kBesselLowPass8 = {
    2.1139176749, {{{0.369, 0.087858766}, {0.6278294896, 0.109408}, {0, 0}, {0, 0}}}};
constexpr BesselLowPass kBesselLowPass11 = {3.17961723751,
                                            {{{0.117235677, 0.02064747},
                                              {0.226516664, 0.0259273886},
                                              {0.3067559, 0.0294683265},
                                              {0.3494916166, 0.031272257}}}};

constexpr int kLastFrequencyCode = kFrequencyCodes - 1;
constexpr double kLowPassFlatFrom = 20100.0;

int clampType(int typeCode) { return std::clamp(typeCode, 0, kCrossoverTypes - 1); }
int clampFrequency(int frequencyCode) { return std::clamp(frequencyCode, 0, kLastFrequencyCode); }
bool isBessel(int type) { return type == 2 || type == 5 || type == 8 || type == 11; }

const BesselLowPass& besselLowPass(int type)
{
    switch (type) {
    case 2: return kBesselLowPass2;
    case 5: return kBesselLowPass5;
    case 8: return kBesselLowPass8;
    default: return kBesselLowPass11;
    }
}

} // namespace

CrossoverDesign designHighPass(int frequencyCode, int typeCode)
{
    const int type = clampType(typeCode);
    const int code = clampFrequency(frequencyCode);
    const SectionConstants& t = kTypes[type];

    double f = code == 0 ? 1.0 : kFrequencyTable[code]; // code 0 moves the corner off the graph
    if (isBessel(type))
        f /= t.highPassBesselDivisor;
    const double w0 = f * kDesignAngle;
    const double cw = std::cos(w0);
    const double sw = std::sin(w0);

    CrossoverDesign design{};
    for (int i = 0; i < 4; ++i) {
        const double k = t.slot[i];
        if (k == 0.0)
            continue;
        const double a = k * sw;
        const double b0 = (1.0 + cw) / 2.0;
        design[i] = Biquad::fromRaw(1.0 + a, -2.0 * cw, 1.0 - a, b0, -2.0 * b0, b0);
    }
    if (t.firstOrderSlot0) {
        const double T = t.slot[0] * std::tan(w0 / 2.0);
        design[0] = Biquad::fromRaw(T + 1.0, T - 1.0, 0.0, 1.0, -1.0, 0.0);
    }
    return design;
}

CrossoverDesign designLowPass(int frequencyCode, int typeCode)
{
    const int type = clampType(typeCode);
    const int code = clampFrequency(frequencyCode);

    double f = code == kLastFrequencyCode ? 60000.0 : kFrequencyTable[code];
    CrossoverDesign design{};
    if (isBessel(type)) {
        const BesselLowPass& b = besselLowPass(type);
        f /= b.divisor;
        if (f >= kLowPassFlatFrom)
            return design;
        const double K = std::tan(f * kDesignAngle / 2.0);
        const double K2 = K * K;
        for (int i = 0; i < 4; ++i) {
            const auto [c1, c2] = b.slot[i];
            if (c1 == 0.0)
                continue;
            design[i] = Biquad::fromRaw(c2 + c1 * K + K2, 2.0 * K2 - 2.0 * c2, c2 - c1 * K + K2, K2, 2.0 * K2, K2);
        }
        return design;
    }

    if (f >= kLowPassFlatFrom)
        return design;
    const SectionConstants& t = kTypes[type];
    const double w0 = f * kDesignAngle;
    const double cw = std::cos(w0);
    const double sw = std::sin(w0);
    for (int i = 0; i < 4; ++i) {
        const double k = t.slot[i];
        if (k == 0.0)
            continue;
        const double a = k * sw;
        const double b0 = (1.0 - cw) / 2.0;
        design[i] = Biquad::fromRaw(1.0 + a, -2.0 * cw, 1.0 - a, b0, 2.0 * b0, b0);
    }
    if (t.firstOrderSlot0) {
        const double K = std::tan(w0 / 2.0);
        const double m = t.slot[0];
        design[0] = Biquad::fromRaw(K + m, K - m, 0.0, K, K, 0.0);
    }
    return design;
}

void highPassResponse(const ResponseGrid& grid, int frequencyCode, int typeCode, ResponseCurve& curve)
{
    evaluateSections(grid, designHighPass(frequencyCode, typeCode), curve);
}

void lowPassResponse(const ResponseGrid& grid, int frequencyCode, int typeCode, ResponseCurve& curve)
{
    evaluateSections(grid, designLowPass(frequencyCode, typeCode), curve);
}

} // namespace talvex
