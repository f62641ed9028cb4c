#include "model/number_text.h"
#include "model/value_tables.h"

#include "support/locale_scope.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace talvex;

namespace {

// The frequencies of codes 0 to 243, ten to a line, as the device lists them.
constexpr double kDeviceFrequencies[] = {
    19.7, 20.3, 20.9, 21.5, 22.1, 22.7, 23.4, 24.1, 24.8, 25.5,
    26.3, 27, 27.8, 28.7, 29.5, 30.4, 31.3, 32.2, 33.1, 34.1,
    35.1, 36.1, 37.2, 38.3, 39.4, 40.5, 41.7, 42.9, 44.2, 45.5,
    46.8, 48.2, 49.6, 51.1, 52.6, 54.1, 55.7, 57.3, 59, 60.7,
    62.5, 64.3, 66.2, 68.2, 70.2, 72.2, 74.3, 76.5, 78.7, 81.1,
    83.4, 85.9, 88.4, 91, 93.6, 96.4, 99.2, 102, 105, 108,
    111, 115, 118, 121, 125, 129, 132, 136, 140, 144,
    149, 153, 158, 162, 167, 172, 179, 182, 187, 193,
    198, 204, 210, 216, 223, 229, 236, 243, 250, 257,
    265, 273, 281, 289, 297, 306, 315, 324, 334, 344,
    354, 364, 375, 386, 397, 409, 420, 433, 445, 459,
    472, 486, 500, 515, 530, 545, 561, 578, 595, 612,
    630, 648, 667, 687, 707, 728, 749, 771, 794, 817,
    841, 866, 891, 917, 944, 972, 1000, 1030, 1060, 1090,
    1123, 1155, 1190, 1224, 1260, 1297, 1335, 1374, 1414, 1456,
    1498, 1542, 1587, 1634, 1682, 1731, 1782, 1834, 1888, 1943,
    2000, 2059, 2119, 2181, 2245, 2311, 2378, 2448, 2520, 2594,
    2670, 2748, 2828, 2911, 2997, 3084, 3175, 3268, 3364, 3462,
    3564, 3668, 3776, 3886, 4000, 4117, 4238, 4362, 4490, 4621,
    4757, 4896, 5040, 5187, 5339, 5496, 5657, 5823, 5993, 6169,
    6350, 6536, 6727, 6924, 7127, 7336, 7551, 7772, 8000, 8234,
    8476, 8724, 8980, 9243, 9514, 9792, 10000, 10300, 10600, 10900,
    11300, 11600, 11900, 12300, 12600, 13000, 13400, 13800, 14200, 14600,
    15100, 15500, 16000, 16400, 16900, 17400, 17900, 18400, 19000, 19500,
    20100, 20700, 21300, 21900,
};
constexpr double kDeviceQs[] = {
    0.267, 0.283, 0.317, 0.35, 0.366, 0.399, 0.431, 0.463, 0.511, 0.542,
    0.589, 0.621, 0.667, 0.713, 0.758, 0.804, 0.865, 0.924, 0.985, 1.045,
    1.104, 1.179, 1.252, 1.326, 1.414, 1.502, 1.59, 1.693, 1.795, 1.897,
    2.014, 2.145, 2.276, 2.407, 2.552, 2.711, 2.871, 3.045, 3.219, 3.422,
    3.624, 3.842, 4.072, 4.319, 4.564, 4.839, 5.128, 5.445, 5.764, 6.111,
    6.472, 6.864, 7.266, 7.697, 8.16, 8.634, 9.155, 9.704, 10.279, 10.884,
    11.538, 12.947, 14.54, 16.314, 18.32, 20.558, 23.081, 25.909, 29.085, 32.646,
    36.643, 41.137, 46.165, 51.839, 58.172, 65.28, 73.27, 82.534, 92.302,
};

// Every entry of a name list, in order.
template <std::size_t N>
void expectNames(const std::array<const char*, N>& table, const std::vector<std::string>& expected)
{
    ASSERT_EQ(N, expected.size());
    for (std::size_t i = 0; i < N; ++i)
        EXPECT_EQ(table[i], expected[i]) << "item " << i;
}

// The texts of values (or codes), each as typed beside it.
template <typename Value>
void expectTexts(std::string (*text)(Value), std::initializer_list<std::pair<Value, const char*>> expected)
{
    for (const auto& [value, shown] : expected)
        EXPECT_EQ(text(value), shown) << value;
}

} // namespace

TEST(ValueTables, FrequencyTableKeepsTheDeviceList)
{
    // Not a formula: the irregular steps (172, 179, 182) are part of the contract.
    ASSERT_EQ(std::size(kDeviceFrequencies), std::size_t(kFrequencyCodes));
    for (int i = 0; i < kFrequencyCodes; ++i)
        EXPECT_DOUBLE_EQ(kFrequencyTable[i], kDeviceFrequencies[i]) << "code " << i;
    for (int i = 1; i < kFrequencyCodes; ++i)
        EXPECT_LT(kFrequencyTable[i - 1], kFrequencyTable[i]) << "code " << i;
}

TEST(ValueTables, EqGainAndQTables)
{
    // -24.0 dB at code 0, 0.0 dB at code 120, +12.0 dB at code 180, in 0.2 dB steps.
    for (int i = 0; i < kEqGainCodes; ++i)
        EXPECT_DOUBLE_EQ(kEqGainTable[i], (i - 120) / 5.0) << "code " << i;
    EXPECT_DOUBLE_EQ(kEqGainTable[119], -0.2);
    ASSERT_EQ(std::size(kDeviceQs), std::size_t(kQCodes));
    for (int i = 0; i < kQCodes; ++i)
        EXPECT_DOUBLE_EQ(kQTable[i], kDeviceQs[i]) << "code " << i;
    for (int i = 1; i < kQCodes; ++i)
        EXPECT_LT(kQTable[i - 1], kQTable[i]) << "code " << i;
}

// Channel gain steps of 0.2 dB from -60 dB, delay steps of 0.0104 ms from 0.
TEST(ValueTables, GainAndDelaySteps)
{
    for (int code = 0; code <= 325; ++code)
        EXPECT_NEAR(gainDb(code), code * 0.2 - 60, 1e-9) << code;
    for (int code = 0; code <= 1440; ++code)
        EXPECT_NEAR(delayMs(code), code * 0.0104, 1e-12) << code;
    EXPECT_DOUBLE_EQ(delayMs(1440), 14.976);
}

TEST(ValueTables, ListsAndTemperatureLimits)
{
    expectNames(kCrossoverTypeNames, {"12db-Bworth", "12db-LR", "12db-Bessel", "18db-Bworth", "18db-LR",
                                      "18db-Bessel", "24db-Bworth", "24db-LR", "24db-Bessel", "48db-Bworth",
                                      "48db-LR", "48db-Bessel"});
    expectNames(kBandTypeNames, {"PEQ", "LS6", "LS12", "HS6", "HS12"});
    expectNames(kLimiterThresholdNames,
                {"-20.0dB", "-19.0dB", "-18.0dB", "-17.0dB", "-16.0dB", "-15.0dB", "-14.0dB", "-13.0dB", "-12.0dB",
                 "-11.0dB", "-10.0dB", "-9.0dB", "-8.0dB", "-7.0dB", "-6.0dB", "-5.0dB", "-4.0dB", "-3.0dB",
                 "-2.0dB", "-1.0dB", "0dB"});
    expectNames(kLimiterAttackNames, {"0.5ms", "1ms", "5ms", "10ms", "20ms", "50ms"});
    expectNames(kLimiterReleaseNames, {"300ms", "400ms", "600ms", "800ms", "1000ms", "1200ms", "2000ms", "3000ms"});
    expectNames(kTemperatureThresholdNames,
                {"70'", "68'", "66'", "64'", "62'", "60'", "58'", "56'", "54'", "52'", "50'", "48'", "46'", "44'", "42'",
                 "40'", "38'", "36'", "34'", "32'", "30'", "28'", "26'", "24'", "22'", "20'", "18'", "16'", "14'", "12'",
                 "10'"});
    expectNames(kPresetLabelPrefixes, {"Usr0", "Usr1", "Usr2", "Usr3", "Pre4", "Pre5", "Pre6", "Pre7"});
    const std::array<int, 31> rawLimits = {1123, 1184, 1260, 1336, 1412, 1503, 1594, 1685, 1792, 1883, 2004,
                                           2110, 2232, 2353, 2490, 2627, 2779, 2915, 3037, 3219, 3386, 3538,
                                           3705, 3872, 4054, 4221, 4404, 4556, 4753, 4859, 5118};
    EXPECT_EQ(kTemperatureRawLimits, rawLimits);
}

TEST(NearestCode, CodesAndLookupsClampToTheTableRange)
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
    // Lookups of foreign codes stay inside the tables.
    for (const auto& [looked, value] : {std::pair{frequencyAt(244), 21900.0}, {frequencyAt(255), 21900.0},
                                        {frequencyAt(-3), 19.7}, {eqGainAt(65535), 12.0}, {qAt(1000), 92.302}})
        EXPECT_DOUBLE_EQ(looked, value);
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

TEST(NumberText, GeneralAndOneDecimalForms)
{
    expectTexts<double>(generalNumberText, {{1000, "1000"}, {19.7, "19.7"}, {-0.2, "-0.2"}, {-0.0, "0"}, {92.302, "92.302"}});
    expectTexts<double>(oneDecimalText, {{1000, "1000.0"}, {-24, "-24.0"}, {-0.0, "0.0"}});
}

TEST(NumberText, GainAndDelayCodesReadWithoutDigitTails)
{
    expectTexts<int>(gainText, {{0, "-60dB"}, {299, "-0.2dB"}, {300, "0dB"}, {301, "0.2dB"}, {325, "5dB"}});
    expectTexts<int>(delayText, {{0, "0 ms"}, {1, "0.0104 ms"}, {1440, "14.976 ms"}});
    // No position of either track bar shows a long tail of digits.
    for (int code = 0; code <= 325; ++code)
        ASSERT_LE(gainText(code).size(), 7u) << code;
    for (int code = 0; code <= 1440; ++code)
        ASSERT_LE(delayText(code).size(), 10u) << code;
}

TEST(NumberText, TypedDecimalsAcceptOnlyPlainNumbers)
{
    for (const auto& [typed, value] : {std::pair{"1000", 1000.0}, {"1000.5", 1000.5}, {"-0.2", -0.2}, {".5", 0.5},
                                       {"5.", 5.0}, {"-.5", -0.5}, {"007", 7.0}})
        EXPECT_EQ(parseDecimal(typed), value) << typed;
    for (const char* bad : {"", ".", "-", "-.", "1.2.3", "..5", "5-", "1-2", "--1", "+1", " 1", "1 ", "1,5",
                            "1e3", "inf", "nan", "0x10", "12a"})
        EXPECT_EQ(parseDecimal(bad), std::nullopt) << '"' << bad << '"';
}

// Numbers read the same on a desktop whose locale writes a decimal comma.
TEST(NumberText, TextsAndParsingIgnoreTheLocale)
{
    for (const char* name : talvex::testing::kCommaLocales) {
        SCOPED_TRACE(name);
        talvex::testing::LocaleScope locale(name);
        ASSERT_TRUE(locale.active());
        expectTexts<double>(generalNumberText, {{19.7, "19.7"}, {-0.2, "-0.2"}, {0.267, "0.267"}});
        expectTexts<double>(oneDecimalText, {{1000, "1000.0"}, {-24, "-24.0"}});
        EXPECT_EQ(gainText(27), "-54.6dB");
        EXPECT_EQ(delayText(1), "0.0104 ms");
        EXPECT_EQ(parseDecimal("1000.5"), 1000.5);
        EXPECT_EQ(parseDecimal("-0.2"), -0.2);
        EXPECT_EQ(parseDecimal("1000,5"), std::nullopt);
    }
}
