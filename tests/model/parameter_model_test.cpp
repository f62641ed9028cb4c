#include "model/parameter_edit.h"
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
    const auto expectEntries = [&](int start, std::initializer_list<std::pair<int, int>> entries) {
        for (const auto& [offset, value] : entries)
            EXPECT_EQ(model.image[start + offset], value) << "entry " << start + offset;
    };
    for (int channel = 0; channel < 4; ++channel) {
        expectEntries(crossoverRecord(channel), {{kHpfFrequency, 0}, {kHpfType, 0}, {kLpfFrequency, 240}, {kLpfType, 0}});
        for (int band = 0; band < 10; ++band) {
            const int r = bandRecord(channel, band);
            expectEntries(r, {{kBandFrequency, 10 * band}, {kBandType, 0}, {4, 120}, {5, 0}});
            EXPECT_EQ(std::pair(model.code16(r + kBandGain), model.code16(r + kBandQ)), std::pair(120, 42));
        }
    }
    EXPECT_EQ(model.code16(kMainGain), 0);
    for (int output = 0; output < 3; ++output) {
        const int block = outputBlockStart(output);
        EXPECT_EQ(model.code16(block + kOutGain), 0);
        expectEntries(block, {{kOutMute, 0}, {kOutLimiter, 20}, {kOutLimiter + 1, 0}, {kOutLimiter + 2, 0}});
    }
    expectEntries(0, {{0, 0}, {96, 0}, {639, 0}}); // reserved entries and the tail are zero
}

TEST(ImageAddressing, EntriesAndChunksOfTheEditedFields)
{
    EXPECT_EQ(bandRecord(3, 3), 448 + 24 + 24);
    EXPECT_EQ(bandRecord(1, 3) + kBandType, 193);
    EXPECT_EQ(chunkOf(193), 24);
    EXPECT_EQ(crossoverRecord(3) + kLpfType, 461);
    EXPECT_EQ(chunkOf(461), 57);
    EXPECT_EQ(crossoverChunk(2), 38); // Mid high-pass type
    EXPECT_EQ(bandChunk(3, 9), 68);   // Low band 9
    EXPECT_EQ(bandChunk(0, 0), 2);    // Main band 0
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
    // Sixteen-bit codes are little-endian pairs of entries.
    ParameterModel model;
    model.setCode16(4, 1440);
    EXPECT_EQ(std::tuple(model.image[4], model.image[5], model.code16(4)), std::tuple(160, 5, 1440));
}

TEST(PendingWrites, MarkingAndDroppingImageWrites)
{
    ParameterModel model;
    EXPECT_EQ(model.lowestPending(), -1);
    model.markChunk(5);
    model.clearImageWrites(); // a received image: its chunks need no write
    EXPECT_EQ(model.lowestPending(), -1);
    model.markChunk(79);
    model.clearImageWrites(); // the system record's write stays
    EXPECT_EQ(model.lowestPending(), 79);
    model.markChunk(19);
    model.markChunk(82); // no such flag
    EXPECT_EQ(model.lowestPending(), 19);
    model.clearPending();
    EXPECT_EQ(model.lowestPending(), -1);
}

TEST(ParameterEdit, AppliesWithinOneChunkKeepsTheOldValuesAndGoesBack)
{
    ParameterModel model;
    model.image[146] = 44;
    ParameterEdit edit("High gain", "rztrckbr_gain:146");
    edit.set16(146, 301);
    ASSERT_TRUE(edit.applyTo(model));
    EXPECT_EQ(std::pair(model.code16(146), model.lowestPending()), std::pair(301, 18)); // written, its chunk marked
    EXPECT_EQ(std::tuple(edit.entries[0].before, edit.chunk(), edit.changesImage()), std::tuple(44, 18, true));

    model.clearPending();
    ASSERT_TRUE(edit.inverted().applyTo(model));
    EXPECT_EQ(std::pair(model.code16(146), model.lowestPending()), std::pair(44, 18));

    // The same value again changes nothing but is still sent (a wheel turn at its limit).
    model.clearPending();
    ParameterEdit same("High gain");
    same.set(146, 44);
    ASSERT_TRUE(same.applyTo(model));
    EXPECT_FALSE(same.changesImage());
    EXPECT_EQ(model.lowestPending(), 18);

    // Refused whole, nothing written or marked: two chunks, beyond the image, no entries.
    ParameterEdit twoChunks("x"), beyond("x"), empty("x");
    twoChunks.set(7, 1).set(8, 1);
    beyond.set(kImageSize, 1);
    for (ParameterEdit* bad : {&twoChunks, &beyond, &empty}) {
        model.clearPending();
        EXPECT_FALSE(bad->applyTo(model));
        EXPECT_EQ(model.lowestPending(), -1);
        EXPECT_EQ(model.image[7], 0);
    }
}
