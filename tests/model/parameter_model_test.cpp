#include "model/parameter_model.h"

#include <gtest/gtest.h>

using namespace talvex;

TEST(InitValue, WritesTheDefaultGroup)
{
    ParameterModel model;
    model.image.fill(77);
    model.pageChannel = 3;
    model.writeDefaults();

    EXPECT_EQ(model.pageChannel, 0);
    for (int channel = 0; channel < 4; ++channel) {
        SCOPED_TRACE(channel);
        const int xover = crossoverRecord(channel);
        EXPECT_EQ(model.image[xover + kHpfFrequency], 0);
        EXPECT_EQ(model.image[xover + kHpfType], 0);
        EXPECT_EQ(model.image[xover + kLpfFrequency], 240);
        EXPECT_EQ(model.image[xover + kLpfType], 0);
        for (int band = 0; band < 10; ++band) {
            const int r = bandRecord(channel, band);
            EXPECT_EQ(model.image[r + kBandFrequency], 10 * band);
            EXPECT_EQ(model.image[r + kBandType], 0);
            EXPECT_EQ(model.code16(r + kBandGain), 120);
            EXPECT_EQ(model.image[r + 4], 120);
            EXPECT_EQ(model.image[r + 5], 0);
            EXPECT_EQ(model.code16(r + kBandQ), 42);
        }
    }
    EXPECT_EQ(model.code16(kMainGain), 0);
    for (int output = 0; output < 3; ++output) {
        const int block = outputBlockStart(output);
        EXPECT_EQ(model.code16(block + kOutGain), 0);
        EXPECT_EQ(model.image[block + kOutMute], 0);
        EXPECT_EQ(model.image[block + kOutLimiter], 20);
        EXPECT_EQ(model.image[block + kOutLimiter + 1], 0);
        EXPECT_EQ(model.image[block + kOutLimiter + 2], 0);
    }
    // Reserved entries and the tail are zero.
    EXPECT_EQ(model.image[0], 0);
    EXPECT_EQ(model.image[96], 0);
    EXPECT_EQ(model.image[639], 0);
}

TEST(ImageAddressing, EntriesAndChunksOfTheEditedFields)
{
    EXPECT_EQ(bandRecord(3, 3), 448 + 24 + 24);
    EXPECT_EQ(bandRecord(1, 3) + kBandType, 193);
    EXPECT_EQ(chunkOf(193), 24);
    EXPECT_EQ(crossoverRecord(3) + kLpfType, 461);
    EXPECT_EQ(chunkOf(461), 57);
    EXPECT_EQ(crossoverChunk(2), 38);          // Mid high-pass type
    EXPECT_EQ(bandChunk(3, 9), 68);            // Low band 9
    EXPECT_EQ(bandChunk(0, 0), 2);             // Main band 0
    EXPECT_EQ(outputBlockStart(1) + kOutLimiter, 312);
    EXPECT_EQ(limiterChunk(1), 39);
    EXPECT_EQ(outputFirstChunk(2), 56);
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(chunkOf(crossoverRecord(channel)), crossoverChunk(channel));
        for (int band = 0; band < 10; ++band)
            EXPECT_EQ(chunkOf(bandRecord(channel, band)), bandChunk(channel, band));
    }
    for (int output = 0; output < 3; ++output) {
        EXPECT_EQ(chunkOf(outputBlockStart(output)), outputFirstChunk(output));
        EXPECT_EQ(chunkOf(outputBlockStart(output) + kOutLimiter), limiterChunk(output));
    }
}

TEST(PendingWrites, MarkingFollowsTheViewRefreshFlag)
{
    ParameterModel model;
    EXPECT_EQ(model.lowestPending(), -1);
    model.viewRefresh = true;
    model.markChunk(5);
    EXPECT_EQ(model.lowestPending(), -1);
    model.viewRefresh = false;
    model.markChunk(79);
    model.markChunk(19);
    model.markChunk(82); // no such flag
    EXPECT_EQ(model.lowestPending(), 19);
    model.clearPending();
    EXPECT_EQ(model.lowestPending(), -1);
}

TEST(ImageAddressing, SixteenBitCodesAreLittleEndianPairs)
{
    ParameterModel model;
    model.setCode16(4, 1440);
    EXPECT_EQ(model.image[4], 160);
    EXPECT_EQ(model.image[5], 5);
    EXPECT_EQ(model.code16(4), 1440);
}
