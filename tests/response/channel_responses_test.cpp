#include "response/channel_responses.h"
#include "response/crossover_response.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace talvex;

namespace {

// Every column of a channel's summed curve is within `tolerance` of zero.
void expectFlatSum(const ChannelResponses& store, const ResponseGrid& grid, int channel, double tolerance)
{
    ResponseCurve sum{};
    store.sum(grid, channel, sum);
    for (int i = 0; i < grid.columnCount(); ++i)
        ASSERT_NEAR(sum[i], 0.0, tolerance) << "channel " << channel << " column " << i;
}

} // namespace

TEST(ChannelResponses, StartsAtZero)
{
    const ChannelResponses store;
    for (int c = 0; c < kResponseChannels; ++c) {
        const ChannelCurves& ch = store.channel(c);
        for (const ResponseCurve* curve : {&ch.highPass, &ch.lowPass})
            for (double v : *curve)
                ASSERT_EQ(v, 0.0);
        for (const ResponseCurve& band : ch.bands)
            for (double v : band)
                ASSERT_EQ(v, 0.0);
        for (const MarkerPosition& m : ch.markers)
            ASSERT_EQ(m, (MarkerPosition{0, 0}));
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
    // Other channels are untouched and sum to a flat line.
    expectFlatSum(store, grid, 2, 0.0);
    EXPECT_EQ(store.channel(0).markers[3], (MarkerPosition{}));
}

TEST(ChannelResponses, RecomputesFromTheParameterImage)
{
    const ResponseGrid grid;
    ParameterModel model;
    model.writeDefaults();
    ChannelResponses store;
    store.recomputeChannel(grid, model, 0);
    // Defaults: crossovers out of the way, bands at 0 dB on row 86.
    expectFlatSum(store, grid, 0, 0.001);
    EXPECT_EQ(store.channel(0).markers[9], (MarkerPosition{318, 86}));

    // Mid (channel 2): each routine reads its own entries of the Mid block.
    const int xover = crossoverRecord(2), band7 = bandRecord(2, 7);
    model.image[xover + kHpfFrequency] = 100;
    model.image[xover + kHpfType] = 4;
    model.image[xover + kLpfFrequency] = 180;
    model.image[xover + kLpfType] = 11;
    model.image[band7 + kBandFrequency] = 150;
    model.image[band7 + kBandType] = kHighShelf12;
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
