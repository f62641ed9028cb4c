#include "response/biquad.h"
#include "response/crossover_response.h"
#include "response/graph_geometry.h"
#include "response/response_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

using namespace talvex;

namespace {

constexpr int k1000Hz = 136;
constexpr int kColumn430 = 430 - 42;

class CrossoverResponse : public ::testing::Test {
protected:
    ResponseGrid grid;
    ResponseCurve curve{};

    bool exactlyFlat() const
    {
        return std::all_of(curve.begin(), curve.begin() + grid.columnCount(), [](double v) { return v == 0.0; });
    }
    // The level of a design's section at the design angle of `hz`.
    static double levelAt(const Biquad& section, double hz)
    {
        const double w0 = hz * kDesignAngle;
        return section.level(std::cos(w0), std::sin(w0));
    }
};

} // namespace

TEST_F(CrossoverResponse, AllTypesAtTheCorner)
{
    const std::array<double, 12> highPass = {-2.972, -6.011, -2.986, -3.009, -5.977, -2.830,
                                             -3.007, -5.944, -2.837, -3.043, -5.622, -3.022};
    const std::array<double, 12> lowPass = {-2.965, -6.004, -3.002, -2.999, -5.967, -3.003,
                                            -2.993, -5.930, -2.953, -3.015, -5.594, -3.003};
    for (int type = 0; type < 12; ++type) {
        highPassResponse(grid, k1000Hz, type, curve);
        EXPECT_NEAR(curve[kColumn430], highPass[type], 0.0005) << "high-pass type " << type;
        lowPassResponse(grid, k1000Hz, type, curve);
        EXPECT_NEAR(curve[kColumn430], lowPass[type], 0.0005) << "low-pass type " << type;
    }
}

TEST_F(CrossoverResponse, SecondOrderSectionAtItsDesignAngle)
{
    // |H| = 1/(2k) exactly at the design angle: k = 1 (type 1) and k = 0.70422535 (type 0).
    for (const auto& [type, expected] : {std::pair{1, -6.0076}, std::pair{0, -2.968}}) {
        const CrossoverDesign d = designHighPass(k1000Hz, type);
        EXPECT_NEAR(levelAt(d[0], 1000.0), expected, 0.0005);
        for (int i = 1; i < 4; ++i)
            EXPECT_TRUE(d[i].isPassThrough());
    }
}

// Each 48 dB slot is a cookbook section with |H| = 1/(2k) at the design angle:
// the four constants of each 48 dB type, slot by slot (Bessel: corner / 1.679120141).
TEST_F(CrossoverResponse, FortyEightDbSectionConstants)
{
    const std::array<std::array<double, 4>, 3> k = {{{0.98039216, 0.83333333, 0.55555556, 0.1953125},
                                                      {0.92592592593, 0.373134315, 0.92592592593, 0.373134315},
                                                      {0.98039216, 0.89285714, 0.70422535, 0.40650406}}};
    for (int type = 9; type <= 11; ++type) {
        const CrossoverDesign d = designHighPass(k1000Hz, type);
        for (int slot = 0; slot < 4; ++slot)
            EXPECT_NEAR(levelAt(d[slot], type == 11 ? 1000.0 / 1.679120141 : 1000.0),
                        40 * std::log(1 / (2 * k[type - 9][slot])) / std::log(101.0), 1e-9)
                << "type " << type << " slot " << slot;
    }
}

TEST_F(CrossoverResponse, SlopesFallAwayFromTheCorner)
{
    // Far outside the corner the order shows: 12, 18, 24, 48 dB per octave.
    const std::array<double, 4> order = {2, 3, 4, 8};
    const auto perOctave = [&](int a, int b) {
        return (curve[a] - curve[b]) / std::log2(grid.frequency(a) / grid.frequency(b));
    };
    const int near50Hz = 178 - 42, near100Hz = 236 - 42, near200Hz = 294 - 42, near400Hz = 352 - 42;
    for (int type = 0; type < 12; ++type) {
        const double n = order[type / 3];
        highPassResponse(grid, k1000Hz, type, curve);
        EXPECT_NEAR(perOctave(near100Hz, near50Hz), 6.0 * n, 0.1 * n) << type;
        lowPassResponse(grid, 17, type, curve); // 32.2 Hz
        EXPECT_NEAR(-perOctave(near200Hz, near400Hz), 6.0 * n, 0.1 * n) << type;
    }
}

TEST_F(CrossoverResponse, HighPassLowestCodeIsOneHertz)
{
    highPassResponse(grid, 0, 0, curve);
    for (int i = 0; i < grid.columnCount(); ++i)
        ASSERT_LT(std::abs(curve[i]), 0.001) << i;
    highPassResponse(grid, 0, 11, curve);
    EXPECT_NEAR(curve[0], -0.026, 0.0005);
    highPassResponse(grid, 1, 0, curve); // code 1 is the table's 20.3 Hz, not the substitute
    EXPECT_LT(curve[0], -10.0);
}

TEST_F(CrossoverResponse, LowPassFlatFrom20100Hz)
{
    for (int type : {0, 1, 3, 4, 6, 7, 9, 10})
        for (const auto& [code, flat] : {std::pair{240, true}, {243, true}, {239, false}}) { // 19500 Hz is a filter
            lowPassResponse(grid, code, type, curve);
            EXPECT_EQ(exactlyFlat(), flat) << "type " << type << " code " << code;
        }
    lowPassResponse(grid, 240, 2, curve);
    EXPECT_NEAR(curve[grid.columnCount() - 1], -9.408, 0.0005);
    for (int type : {2, 5, 8}) {
        lowPassResponse(grid, 243, type, curve);
        EXPECT_TRUE(exactlyFlat()) << type;
    }
    lowPassResponse(grid, 243, 11, curve);
    EXPECT_NEAR(curve[grid.columnCount() - 1], -1.113, 0.0005);
    EXPECT_NEAR(curve[622 - 42 + 1], -0.065, 0.0005); // 10 kHz sits between grid columns 622 and 623
    highPassResponse(grid, 243, 0, curve); // the high-pass has no such rule
    EXPECT_LT(curve[kColumn430], -20.0);
}

TEST_F(CrossoverResponse, OutOfRangeCodes)
{
    // Unknown types read as the last type; frequency codes from foreign data read the end of the table.
    ResponseCurve expected{};
    const auto same = [&](auto response, int code, int type, int expectedCode, int expectedType) {
        response(grid, expectedCode, expectedType, expected);
        response(grid, code, type, curve);
        EXPECT_EQ(curve, expected) << "code " << code << " type " << type;
    };
    for (int type : {12, 200, 255}) {
        same(highPassResponse, k1000Hz, type, k1000Hz, 11);
        same(lowPassResponse, k1000Hz, type, k1000Hz, 11);
    }
    same(highPassResponse, 255, 0, 243, 0);
    same(lowPassResponse, 243, 11, 255, 11);
}

TEST_F(CrossoverResponse, PassBandStaysNearZero)
{
    for (int type = 0; type < 12; ++type) {
        highPassResponse(grid, 40, type, curve); // 62.5 Hz
        EXPECT_NEAR(curve[grid.columnCount() / 2 + 100], 0.0, 0.05) << type;
        lowPassResponse(grid, 200, type, curve); // 6350 Hz
        EXPECT_NEAR(curve[100], 0.0, 0.05) << type;
    }
}

TEST(GraphGeometry, FrequencyColumnMappingAndInverse)
{
    const GraphGeometry g;
    for (const auto& [hz, column] : {std::pair{20.0, 101}, {19.7, 99}, {1000.0, 430}, {21900.0, 689}})
        EXPECT_EQ(frequencyToColumn(g, hz), column) << hz;
    EXPECT_NEAR(columnToFrequency(g, 101), 20.0, 1e-9);
    EXPECT_NEAR(columnToFrequency(g, 682), 20000.0, 1e-6);
    // Columns round-trip for every column the grid evaluates.
    for (int x = 42; x <= 713; ++x)
        EXPECT_EQ(frequencyToColumn(g, columnToFrequency(g, x + 0.5)), x) << x;
}

TEST(GraphGeometry, LevelRowMappingAndInverse)
{
    const GraphGeometry g;
    for (const auto& [db, row] : {std::pair{15.0, 16}, {-30.0, 228}, {0.0, 86}, {-24.0, 199}, {12.0, 30}})
        EXPECT_EQ(levelToRow(g, db), row) << db;
    EXPECT_DOUBLE_EQ(rowToLevel(g, 16), 15.0);
    EXPECT_DOUBLE_EQ(rowToLevel(g, 228), -30.0);
    // Truncation toward zero above the top of the graph, not flooring.
    EXPECT_EQ(levelToRow(g, 15.0 + 45.0 / 212 * 16.5), 0);
}

TEST(GraphGeometry, DegenerateInputsGiveFinitePixels)
{
    const GraphGeometry g, tiny{46, 38};
    EXPECT_LT(frequencyToColumn(g, 0.0), 0);
    EXPECT_EQ(frequencyToColumn(g, std::nan("")), 0);
    EXPECT_GT(levelToRow(g, -1e300), 0);
    (void)frequencyToColumn(tiny, 1000.0);
    (void)levelToRow(tiny, 0.0);
}

TEST(ResponseGrid, StandardColumns)
{
    const ResponseGrid grid;
    ASSERT_EQ(grid.columnCount(), 672);
    EXPECT_EQ(std::pair(ResponseGrid::columnAt(0), ResponseGrid::columnAt(671)), std::pair(42, 713));
    EXPECT_NEAR(grid.frequency(0), 9.917, 0.0005);
    EXPECT_NEAR(grid.frequency(671), 28913, 0.5);
    EXPECT_NEAR(grid.frequency(430 - 42), 999.6, 0.05);
    const double omega = grid.frequency(0) * 6.283185307179586 / 96000;
    EXPECT_DOUBLE_EQ(grid.cosOmega(0), std::cos(omega));
    EXPECT_DOUBLE_EQ(grid.sinOmega(0), std::sin(omega));
}

TEST(ResponseGrid, NarrowAndOversizedGraphs)
{
    for (const auto& [width, columns] : {std::pair{48, 0}, {49, 1}, {1111, kCurveCapacity}, {1500, kCurveCapacity}})
        EXPECT_EQ(ResponseGrid(GraphGeometry{width, 250}).columnCount(), columns) << width;
    // Wider than the curves hold: evaluated up to the capacity, never past it (ASan catches a write past the end).
    ResponseCurve curve{};
    evaluateSections(ResponseGrid(GraphGeometry{1500, 250}),
                     std::array{Biquad::fromRaw(1.5, -1.0, 0.3, 1.0, 0.2, 0.1)}, curve);
}

TEST(Biquad, NormalisesAndGuardsZeroA0)
{
    const Biquad b = Biquad::fromRaw(2.0, 1.0, 0.5, 4.0, 3.0, 2.0);
    for (const auto& [got, expected] : {std::pair{b.b0, 2.0}, {b.b1, 1.5}, {b.b2, 1.0}, {b.a1, 0.5}, {b.a2, 0.25}})
        EXPECT_DOUBLE_EQ(got, expected);
    const Biquad z = Biquad::fromRaw(0.0, 1e-10, 0.0, 1e-10, 0.0, 0.0);
    EXPECT_DOUBLE_EQ(z.b0, 1.0);
    EXPECT_DOUBLE_EQ(z.a1, 1.0);
    EXPECT_TRUE(std::isfinite(z.level(0.5, std::sqrt(0.75))));
}

TEST(Biquad, LevelFormula)
{
    EXPECT_NEAR(curveLevel(0.5), -6.0076, 0.00005);
    EXPECT_DOUBLE_EQ(curveLevel(1.0), 0.0);
    const Biquad gain2{2.0, 0, 0, 0, 0}; // a pure gain of 2 at any angle
    EXPECT_NEAR(gain2.level(0.3, std::sqrt(1 - 0.09)), curveLevel(2.0), 1e-12);
}

TEST(Biquad, SumOfSectionsAndPassThroughSlots)
{
    const ResponseGrid grid;
    const Biquad s1 = Biquad::fromRaw(1.2, -1.9, 0.8, 1.0, -1.8, 0.9);
    const Biquad s2 = Biquad::fromRaw(1.0, -0.5, 0.1, 0.3, 0.3, 0.0);
    ResponseCurve both{}, one{}, two{}, padded{}, flat;
    evaluateSections(grid, std::array{s1, s2}, both);
    evaluateSections(grid, std::array{s1}, one);
    evaluateSections(grid, std::array{s2}, two);
    evaluateSections(grid, std::array{Biquad{}, s1, Biquad{}, s2}, padded);
    flat.fill(7.0);
    evaluateSections(grid, std::array<Biquad, 4>{}, flat);
    for (int i = 0; i < grid.columnCount(); ++i) {
        EXPECT_NEAR(both[i], one[i] + two[i], 1e-9);
        EXPECT_NEAR(one[i], s1.level(grid.cosOmega(i), grid.sinOmega(i)), 1e-9);
        EXPECT_EQ(padded[i], both[i]);
        ASSERT_EQ(flat[i], 0.0);
    }
    EXPECT_EQ(flat[672], 7.0); // columns beyond the grid are not touched
}
