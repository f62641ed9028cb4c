#include "response/biquad.h"
#include "response/graph_geometry.h"
#include "response/response_grid.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace talvex;

TEST(GraphGeometry, StandardMarginsAndSpan)
{
    const GraphGeometry g;
    EXPECT_EQ(g.leftMargin(), 60);
    EXPECT_EQ(g.rightMargin(), 33);
    EXPECT_EQ(g.decadeSpan(), 581);
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
    EXPECT_EQ(ResponseGrid::columnAt(0), 42);
    EXPECT_EQ(ResponseGrid::columnAt(671), 713);
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
