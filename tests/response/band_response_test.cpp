#include "response/band_response.h"
#include "response/channel_responses.h"
#include "response/crossover_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <tuple>

using namespace talvex;

namespace {

constexpr int k1000Hz = 136;
constexpr int kPlus12 = 180, kMinus24 = 0, kZeroDb = 120;

int at(int column) { return column - 42; }

std::array<int, 8> record(int freq, int type, int gain, int q)
{
    return {freq, type, gain % 256, gain / 256, 0, 0, q % 256, q / 256};
}

class BandResponse : public ::testing::Test {
protected:
    ResponseGrid grid;
    ResponseCurve curve{};
    MarkerPosition marker;

    void run(int freq, int type, int gain, int q) { bandResponse(grid, record(freq, type, gain, q), marker, curve); }
    // A band at 1000 Hz, and its levels at grid columns to half a thousandth of a dB.
    void expectLevels(int type, int gain, int q, std::initializer_list<std::pair<int, double>> levels)
    {
        run(k1000Hz, type, gain, q);
        for (const auto& [column, db] : levels)
            EXPECT_NEAR(curve[at(column)], db, 0.0005) << "column " << column;
    }
};

// Every column of a channel's summed curve is within `tolerance` of zero.
void expectFlatSum(const ChannelResponses& store, const ResponseGrid& grid, int channel, double tolerance)
{
    ResponseCurve sum{};
    store.sum(grid, channel, sum);
    for (int i = 0; i < grid.columnCount(); ++i)
        ASSERT_NEAR(sum[i], 0.0, tolerance) << "channel " << channel << " column " << i;
}

} // namespace

TEST(BandRecord, DecodesAndClamps)
{
    const auto decoded = [](int freq, int type, int gain, int q) {
        const BandSettings b = bandFromRecord(record(freq, type, gain, q));
        return std::tuple{b.frequencyCode, b.type, b.gainCode, b.qCode};
    };
    // Q codes above 179 come only from foreign data: they read the last curve Q.
    EXPECT_EQ(decoded(17, 3, 150, 300), std::tuple(17, 3, 150, 179));
    EXPECT_EQ(decoded(255, 9, 65535, 65535), std::tuple(243, 9, 180, 179));
    // The curve Q table, in 0.2 steps from 0.2 up to 36 at code 179.
    for (const auto& [code, q] : {std::pair{0, 0.2}, {42, 8.6}, {179, 36.0}})
        EXPECT_NEAR(kCurveQTable[std::size_t(code)], q, 1e-12) << code;
}

TEST_F(BandResponse, PeakingBand)
{
    expectLevels(kPeaking, kPlus12, 42, {{430, 11.974}, {420, 5.851}, {440, 5.885}});
    EXPECT_EQ(std::max_element(curve.begin(), curve.begin() + grid.columnCount()) - curve.begin(), at(430));
    expectLevels(kPeaking, kPlus12, 0, {{430, 11.974}, {100, 2.983}});
    expectLevels(kPeaking, kPlus12, 78, {{420, 2.954}});
    expectLevels(kPeaking, kMinus24, 42, {{430, -23.947}});
}

TEST_F(BandResponse, BoostAndCutAreMirrorImages)
{
    for (int type = 0; type <= 4; ++type)
        for (int q : {0, 42, 179}) {
            run(k1000Hz, type, kZeroDb + 30, q); // +6 dB
            const ResponseCurve boost = curve;
            run(k1000Hz, type, kZeroDb - 30, q); // -6 dB
            for (int i = 0; i < grid.columnCount(); ++i)
                ASSERT_NEAR(boost[i], -curve[i], 1e-9) << "type " << type << " q " << q << " column " << i + 42;
        }
}

TEST_F(BandResponse, ZeroGainIsExactlyFlat)
{
    for (int type = 0; type <= 4; ++type) {
        curve.fill(3.0);
        run(k1000Hz, type, kZeroDb, 42);
        for (int i = 0; i < grid.columnCount(); ++i)
            ASSERT_EQ(curve[i], 0.0) << type;
    }
}

TEST_F(BandResponse, Shelves)
{
    expectLevels(kLowShelf6, kPlus12, 0, {{42, 11.974}, {430, 9.250}, {488, 6.008}, {713, 0.036}});
    expectLevels(kHighShelf6, kPlus12, 0, {{42, 0.008}, {430, 9.592}, {488, 11.216}, {713, 11.972}});
    expectLevels(kLowShelf12, kPlus12, 0, {{372, 12.176}}); // overshoot of the 1.3 slope
    EXPECT_LT(curve[at(713)], 0.1);
    const ResponseCurve q0 = curve; // the Q code does not change a shelf
    run(k1000Hz, kLowShelf12, kPlus12, 100);
    EXPECT_EQ(curve, q0);
    run(k1000Hz, kHighShelf12, kPlus12, 0);
    EXPECT_GT(curve[at(713)], 11.9);
    EXPECT_LT(curve[at(42)], 0.05);
}

TEST_F(BandResponse, Markers)
{
    for (const auto& [freq, gain, expected] : {std::tuple{0, kMinus24, MarkerPosition{99, 199}},
                                               {k1000Hz, kZeroDb, MarkerPosition{430, 86}},
                                               {243, kPlus12, MarkerPosition{689, 30}}}) {
        run(freq, kPeaking, gain, 0);
        EXPECT_EQ(marker, expected) << freq;
    }
    const std::array<int, 10> defaultColumns = {99, 124, 148, 172, 196, 221, 245, 269, 293, 318};
    for (int j = 0; j < 10; ++j) {
        run(10 * j, kPeaking, kZeroDb, 0);
        EXPECT_EQ(marker, (MarkerPosition{defaultColumns[j], 86})) << j;
    }
}

TEST_F(BandResponse, OutOfRangeCodesClamp)
{
    ResponseCurve expected{};
    MarkerPosition expectedMarker;
    bandResponse(grid, record(243, kPeaking, 180, 179), expectedMarker, expected);
    run(250, kPeaking, 4000, 1000);
    EXPECT_EQ(std::pair(curve, marker), std::pair(expected, expectedMarker));
}

TEST_F(BandResponse, UnknownTypeMovesMarkerOnly)
{
    run(k1000Hz, kPeaking, kPlus12, 42);
    const ResponseCurve before = curve;
    run(200, 5, kMinus24, 0);
    EXPECT_EQ(curve, before);
    EXPECT_EQ(marker, (MarkerPosition{frequencyToColumn(grid.geometry(), 6350.0), 199}));
    EXPECT_FALSE(designBand(BandSettings{136, 255, 180, 0}).has_value());
    EXPECT_FALSE(designBand(BandSettings{136, -1, 180, 0}).has_value());
}

TEST(ChannelResponses, StartsAtZero)
{
    const ChannelResponses store;
    const ChannelCurves zero;
    for (int c = 0; c < kResponseChannels; ++c) {
        const ChannelCurves& ch = store.channel(c);
        EXPECT_TRUE(ch.highPass == zero.highPass && ch.lowPass == zero.lowPass && ch.bands == zero.bands) << c;
        EXPECT_TRUE(ch.markers == zero.markers) << c;
    }
    EXPECT_THROW(store.channel(4), std::out_of_range);
    EXPECT_THROW(store.channel(-1), std::out_of_range);
}

TEST(ChannelResponses, ChannelsKeepTheirCurvesAndSumAllTwelve)
{
    const ResponseGrid grid;
    ChannelResponses store;
    ChannelCurves& high = store.channel(1);
    highPassResponse(grid, 100, 7, high.highPass);
    lowPassResponse(grid, 200, 7, high.lowPass);
    bandResponse(grid, BandSettings{136, kPeaking, 150, 20}, high.markers[3], high.bands[3]);
    bandResponse(grid, BandSettings{50, kLowShelf6, 100, 0}, high.markers[9], high.bands[9]);

    ResponseCurve sum{};
    store.sum(grid, 1, sum);
    for (int i = 0; i < grid.columnCount(); ++i)
        ASSERT_DOUBLE_EQ(sum[i], high.highPass[i] + high.lowPass[i] + high.bands[3][i] + high.bands[9][i]);
    EXPECT_EQ(high.markers[3], (MarkerPosition{430, levelToRow(grid.geometry(), 6.0)}));
    expectFlatSum(store, grid, 2, 0.0); // other channels are untouched and sum to a flat line
    EXPECT_EQ(store.channel(0).markers[3], (MarkerPosition{}));
}

TEST(ChannelResponses, RecomputesFromTheParameterImage)
{
    const ResponseGrid grid;
    ParameterModel model;
    model.writeDefaults();
    ChannelResponses store;
    store.recomputeChannel(grid, model, 0);
    expectFlatSum(store, grid, 0, 0.001); // defaults: crossovers out of the way, bands at 0 dB on row 86
    EXPECT_EQ(store.channel(0).markers[9], (MarkerPosition{318, 86}));

    // Mid (channel 2): each routine reads its own entries of the Mid block.
    const int xover = crossoverRecord(2), band7 = bandRecord(2, 7);
    for (const auto& [entry, code] : {std::pair{xover + kHpfFrequency, 100}, {xover + kHpfType, 4},
                                      {xover + kLpfFrequency, 180}, {xover + kLpfType, 11},
                                      {band7 + kBandFrequency, 150}, {band7 + kBandType, kHighShelf12}})
        model.image[entry] = code;
    model.setCode16(band7 + kBandGain, 90);
    store.recomputeChannel(grid, model, 2);

    ResponseCurve expected{};
    MarkerPosition marker;
    highPassResponse(grid, 100, 4, expected);
    EXPECT_EQ(store.channel(2).highPass, expected);
    lowPassResponse(grid, 180, 11, expected);
    EXPECT_EQ(store.channel(2).lowPass, expected);
    bandResponse(grid, BandSettings{150, kHighShelf12, 90, 0}, marker, expected);
    EXPECT_EQ(store.channel(2).bands[7], expected);
    EXPECT_EQ(store.channel(2).markers[7], marker);
    expectFlatSum(store, grid, 0, 0.001); // the Main curves stay as they were computed
}
