#include "link/reply_handlers.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace talvex;
using namespace talvex::replies;

namespace {

std::vector<std::uint8_t> meterText(int raw, int attenuation = 0)
{
    return {0, 0, std::uint8_t(raw >> 8), std::uint8_t(raw & 0xFF), std::uint8_t(attenuation), 5, 6, 7};
}

} // namespace

TEST(Identification, MatchesOnlyTheExactString)
{
    const std::vector<std::uint8_t> id(frame::kIdentification, frame::kIdentification + 24);
    EXPECT_TRUE(identificationMatches(id));
    auto lower = id, trailing = id;
    lower[0] = 'k';
    trailing[23] = 0;
    // Fewer than 24 data bytes never match, even if the checksum and end byte happen to complete the string.
    const std::vector<std::uint8_t> shortId(id.begin(), id.begin() + 22);
    for (const auto& wrong : {lower, trailing, shortId, std::vector<std::uint8_t>{}})
        EXPECT_FALSE(identificationMatches(wrong)) << wrong.size();
}

TEST(PresetNames, StoresAllTwentyAndShowsOnlyCleanNames)
{
    std::vector<std::uint8_t> data(400, 0);
    std::memcpy(&data[40], "ABCD", 4);   // name 3
    data[60] = 'x';
    data[61] = 255;                      // name 4 fails the check
    std::memcpy(&data[380], "LAST", 4);  // name 20
    ParameterModel model;
    ASSERT_TRUE(storePresetNames(data, model));
    EXPECT_EQ(presetDisplayName(model.presetNames[2]), "ABCD                ");
    EXPECT_EQ(presetDisplayName(model.presetNames[3]), "");
    EXPECT_EQ(model.presetNames[19][0], 'L');
    EXPECT_EQ(presetDisplayName(model.presetNames[0]), std::string(20, ' '));

    std::array<std::uint8_t, 20> edge{};
    edge[0] = 31;
    EXPECT_EQ(presetDisplayName(edge), "");
    edge[0] = 127;
    EXPECT_EQ(presetDisplayName(edge)[0], char(127));
    // A short reply stores nothing.
    EXPECT_FALSE(storePresetNames(std::vector<std::uint8_t>(399, 'A'), model));
    EXPECT_EQ(model.presetNames[19][0], 'L');
}

TEST(SystemRecord, SelectsLastPresetOrNormalisesToZero)
{
    ParameterModel model;
    std::vector<std::uint8_t> data(48, 0);
    data[0] = 3;
    data[3] = 7;
    data[7] = 12;
    data[47] = 99;
    EXPECT_EQ(storeSystemRecord(data, model), 2);
    EXPECT_EQ(std::tuple(model.systemRecord[3], model.systemRecord[7], model.systemRecord[47]), std::tuple(7, 12, 99));

    data[0] = 20;
    EXPECT_EQ(storeSystemRecord(data, model), 19);
    for (int bad : {0, 21, 25, 255}) {
        data[0] = std::uint8_t(bad);
        EXPECT_EQ(storeSystemRecord(data, model), 0) << bad;
        EXPECT_EQ(model.systemRecord[0], 0);
    }
    model.systemRecord[5] = 42;
    EXPECT_FALSE(storeSystemRecord(std::vector<std::uint8_t>(47, 1), model));
    EXPECT_EQ(model.systemRecord[5], 42);
}

TEST(Group, CopiesTheImageOrNothing)
{
    std::vector<std::uint8_t> data(640);
    for (int i = 0; i < 640; ++i)
        data[i] = std::uint8_t(i * 7);
    ParameterModel model;
    ASSERT_TRUE(storeGroup(data, model));
    for (int i = 0; i < 640; ++i)
        ASSERT_EQ(model.image[i], std::uint8_t(i * 7));

    ParameterModel untouched;
    untouched.image[639] = 1;
    EXPECT_FALSE(storeGroup(std::vector<std::uint8_t>(639, 9), untouched));
    EXPECT_EQ(std::tuple(untouched.image[0], untouched.image[639]), std::tuple(0, 1));
}

TEST(Meter, TemperatureStepsTextsAndRawBytes)
{
    for (const auto& [raw, shown] : {std::pair{0x0460, ">=70"}, {2000, "50"}, {1222, "68"} /* half-way: lower step */,
                                     {6000, "<=10"}})
        EXPECT_EQ(temperatureText(decodeMeter(meterText(raw))->step), shown) << raw;
    for (const auto& [raw, step] : {std::pair{0, 0}, {5118, 30}, {4860, 29}, {65535, 30}})
        EXPECT_EQ(temperatureStep(raw), step) << raw;
    const auto reading = decodeMeter(meterText(6000, 13));
    ASSERT_TRUE(reading);
    EXPECT_EQ(std::tuple(reading->raw, reading->attenuation, reading->extra), std::tuple(5118, 13, std::array<int, 3>{5, 6, 7}));
    EXPECT_FALSE(decodeMeter(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7}));
}
