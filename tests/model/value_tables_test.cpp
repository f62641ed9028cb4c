#include "model/value_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace talvex;

TEST(ValueTables, FrequencyTableKeepsTheDeviceList)
{
    EXPECT_DOUBLE_EQ(kFrequencyTable.front(), 19.7);
    EXPECT_DOUBLE_EQ(kFrequencyTable.back(), 21900.0);
    // Not a formula: the irregular steps are part of the contract.
    EXPECT_DOUBLE_EQ(kFrequencyTable[75], 172.0);
    EXPECT_DOUBLE_EQ(kFrequencyTable[76], 179.0);
    EXPECT_DOUBLE_EQ(kFrequencyTable[77], 182.0);
    EXPECT_DOUBLE_EQ(kFrequencyTable[136], 1000.0);
    EXPECT_DOUBLE_EQ(kFrequencyTable[240], 20100.0);
    for (int i = 1; i < kFrequencyCodes; ++i)
        EXPECT_LT(kFrequencyTable[i - 1], kFrequencyTable[i]) << "code " << i;
}

TEST(ValueTables, EqGainAndQTables)
{
    EXPECT_DOUBLE_EQ(kEqGainTable[0], -24.0);
    EXPECT_DOUBLE_EQ(kEqGainTable[119], -0.2);
    EXPECT_DOUBLE_EQ(kEqGainTable[120], 0.0);
    EXPECT_DOUBLE_EQ(kEqGainTable[180], 12.0);
    EXPECT_DOUBLE_EQ(kQTable[0], 0.267);
    EXPECT_DOUBLE_EQ(kQTable[42], 4.072);
    EXPECT_DOUBLE_EQ(kQTable[78], 92.302);
    for (int i = 1; i < kQCodes; ++i)
        EXPECT_LT(kQTable[i - 1], kQTable[i]) << "code " << i;
}

TEST(ValueTables, ListsAndTemperatureLimits)
{
    EXPECT_STREQ(kCrossoverTypeNames[11], "48db-Bessel");
    EXPECT_STREQ(kLimiterThresholdNames[19], "-1.0dB");
    EXPECT_STREQ(kLimiterThresholdNames[20], "0dB");
    EXPECT_STREQ(kLimiterReleaseNames[7], "3000ms");
    EXPECT_STREQ(kTemperatureThresholdNames[5], "60'");
    EXPECT_STREQ(kTemperatureThresholdNames[30], "10'");
    EXPECT_STREQ(kPresetLabelPrefixes[5], "Pre5");
    EXPECT_EQ(kTemperatureRawLimits.front(), 1123);
    EXPECT_EQ(kTemperatureRawLimits.back(), 5118);
}

TEST(ValueTables, LookupsOfForeignCodesStayInsideTheTables)
{
    EXPECT_DOUBLE_EQ(frequencyAt(244), 21900.0);
    EXPECT_DOUBLE_EQ(frequencyAt(255), 21900.0);
    EXPECT_DOUBLE_EQ(frequencyAt(-3), 19.7);
    EXPECT_DOUBLE_EQ(eqGainAt(65535), 12.0);
    EXPECT_DOUBLE_EQ(qAt(1000), 92.302);
}

TEST(NearestCode, ClampsToTheTableRange)
{
    EXPECT_EQ(nearestFrequencyCode(25000), 243);
    EXPECT_EQ(nearestFrequencyCode(5), 0);
    EXPECT_EQ(nearestFrequencyCode(-1e9), 0);
    EXPECT_EQ(nearestEqGainCode(40), 180);
    EXPECT_EQ(nearestEqGainCode(-99), 0);
    EXPECT_EQ(nearestQCode(100), 78);
    EXPECT_EQ(nearestQCode(0.01), 0);
    EXPECT_EQ(nearestFrequencyCode(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(nearestFrequencyCode(std::numeric_limits<double>::infinity()), 243);
}

TEST(NearestCode, TakesTheNearerEntryAndTiesGoDown)
{
    EXPECT_EQ(nearestFrequencyCode(1010), 136);
    EXPECT_EQ(nearestFrequencyCode(1015), 136); // exactly half-way between 1000 and 1030
    EXPECT_EQ(nearestFrequencyCode(1016), 137);
    EXPECT_EQ(nearestEqGainCode(-0.1), 119); // half-way between -0.2 and 0.0
    EXPECT_EQ(nearestEqGainCode(0.1), 120);
    EXPECT_EQ(nearestEqGainCode(0.11), 121);
    EXPECT_EQ(nearestQCode(4.072), 42);
    // Every table value maps back to its own code.
    for (int code = 0; code < kFrequencyCodes; ++code)
        ASSERT_EQ(nearestFrequencyCode(kFrequencyTable[code]), code);
    for (int code = 0; code < kEqGainCodes; ++code)
        ASSERT_EQ(nearestEqGainCode(kEqGainTable[code]), code);
    for (int code = 0; code < kQCodes; ++code)
        ASSERT_EQ(nearestQCode(kQTable[code]), code);
}
