#include "model/number_text.h"

#include "support/locale_scope.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace talvex;
using namespace talvex::testing;

TEST(NumberText, GeneralAndOneDecimalForms)
{
    EXPECT_EQ(generalNumberText(1000), "1000");
    EXPECT_EQ(generalNumberText(19.7), "19.7");
    EXPECT_EQ(generalNumberText(-0.2), "-0.2");
    EXPECT_EQ(generalNumberText(-0.0), "0");
    EXPECT_EQ(generalNumberText(92.302), "92.302");
    EXPECT_EQ(oneDecimalText(1000), "1000.0");
    EXPECT_EQ(oneDecimalText(-24), "-24.0");
    EXPECT_EQ(oneDecimalText(-0.0), "0.0");
}

TEST(NumberText, GainAndDelayCodesReadWithoutDigitTails)
{
    EXPECT_EQ(gainText(0), "-60dB");
    EXPECT_EQ(gainText(299), "-0.2dB");
    EXPECT_EQ(gainText(300), "0dB");
    EXPECT_EQ(gainText(301), "0.2dB");
    EXPECT_EQ(gainText(325), "5dB");
    EXPECT_EQ(delayText(0), "0 ms");
    EXPECT_EQ(delayText(1), "0.0104 ms");
    EXPECT_EQ(delayText(1440), "14.976 ms");
    // No position of either track bar shows a long tail of digits.
    for (int code = 0; code <= 325; ++code)
        ASSERT_LE(gainText(code).size(), 7u) << code;
    for (int code = 0; code <= 1440; ++code)
        ASSERT_LE(delayText(code).size(), 10u) << code;
}

TEST(NumberText, TypedDecimalsAcceptOnlyPlainNumbers)
{
    EXPECT_EQ(parseDecimal("1000"), 1000.0);
    EXPECT_EQ(parseDecimal("1000.5"), 1000.5);
    EXPECT_EQ(parseDecimal("-0.2"), -0.2);
    EXPECT_EQ(parseDecimal(".5"), 0.5);
    EXPECT_EQ(parseDecimal("5."), 5.0);
    EXPECT_EQ(parseDecimal("-.5"), -0.5);
    EXPECT_EQ(parseDecimal("007"), 7.0);
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
        EXPECT_EQ(generalNumberText(19.7), "19.7");
        EXPECT_EQ(generalNumberText(-0.2), "-0.2");
        EXPECT_EQ(generalNumberText(0.267), "0.267");
        EXPECT_EQ(oneDecimalText(1000), "1000.0");
        EXPECT_EQ(oneDecimalText(-24), "-24.0");
        EXPECT_EQ(gainText(27), "-54.6dB");
        EXPECT_EQ(delayText(1), "0.0104 ms");
        EXPECT_EQ(parseDecimal("1000.5"), 1000.5);
        EXPECT_EQ(parseDecimal("-0.2"), -0.2);
        EXPECT_EQ(parseDecimal("1000,5"), std::nullopt);
    }
}
