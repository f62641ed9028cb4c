#include "model/number_text.h"
#include "model/value_tables.h"

#include "support/locale_scope.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <string>
#include <vector>

using namespace talvex;

namespace {

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

// The frequency and Q tables are the device's lists, not formulas: their sizes and order, the entries at
// the ends and at irregular steps, and their sums, which catch a slip of a digit in any one entry.
TEST(ValueTables, DeviceTablesKeepTheirEntries)
{
    ASSERT_EQ(std::size(kFrequencyTable), 244u);
    ASSERT_EQ(std::size(kQTable), 79u);
    for (int i = 1; i < kFrequencyCodes; ++i)
        EXPECT_LT(kFrequencyTable[i - 1], kFrequencyTable[i]) << "code " << i;
    for (int i = 1; i < kQCodes; ++i)
        EXPECT_LT(kQTable[i - 1], kQTable[i]) << "code " << i;
    for (const auto& [code, hz] : {std::pair{0, 19.7}, {11, 27.0}, {75, 172.0}, {76, 179.0}, {77, 182.0},
                                   {136, 1000.0}, {216, 10000.0}, {217, 10300.0}, {243, 21900.0}})
        EXPECT_DOUBLE_EQ(kFrequencyTable[code], hz) << "code " << code;
    for (const auto& [code, q] : {std::pair{0, 0.267}, {42, 4.072}, {60, 11.538}, {61, 12.947}, {78, 92.302}})
        EXPECT_DOUBLE_EQ(kQTable[code], q) << "code " << code;
    EXPECT_NEAR(std::accumulate(kFrequencyTable.begin(), kFrequencyTable.end(), 0.0), 769916.5, 1e-6);
    EXPECT_NEAR(std::accumulate(kQTable.begin(), kQTable.end(), 0.0), 938.417, 1e-9);
    // EQ gain: -24.0 dB at code 0, 0.0 dB at code 120, +12.0 dB at code 180, in 0.2 dB steps.
    for (const auto& [code, db] : {std::pair{0, -24.0}, {119, -0.2}, {120, 0.0}, {121, 0.2}, {180, 12.0}})
        EXPECT_DOUBLE_EQ(kEqGainTable[code], db) << "code " << code;
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
