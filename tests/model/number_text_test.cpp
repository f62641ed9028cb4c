#include "model/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace talvex;

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

TEST(NumberText, FullStopWhateverTheDesktopLocale)
{
    // Qt sets the C locale from the desktop; a German one uses a decimal comma.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE locale";
    const std::string gain = gainText(301);
    const std::string delay = delayText(1440);
    const std::string decimal = oneDecimalText(-1);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(gain, "0.2dB");
    EXPECT_EQ(delay, "14.976 ms");
    EXPECT_EQ(decimal, "-1.0");
}
