#include "model/number_text.h"

#include "support/locale_scope.h"

#include <gtest/gtest.h>

#include <string>

using namespace talvex;

namespace {

using Texts = std::initializer_list<std::pair<double, const char*>>;
using Codes = std::initializer_list<std::pair<int, const char*>>;

void expectTexts(std::string (*text)(double), Texts expected)
{
    for (const auto& [value, shown] : expected)
        EXPECT_EQ(text(value), shown) << value;
}

void expectTexts(std::string (*text)(int), Codes expected)
{
    for (const auto& [code, shown] : expected)
        EXPECT_EQ(text(code), shown) << code;
}

} // namespace

TEST(NumberText, GeneralAndOneDecimalForms)
{
    expectTexts(generalNumberText, Texts{{1000, "1000"}, {19.7, "19.7"}, {-0.2, "-0.2"}, {-0.0, "0"}, {92.302, "92.302"}});
    expectTexts(oneDecimalText, Texts{{1000, "1000.0"}, {-24, "-24.0"}, {-0.0, "0.0"}});
}

TEST(NumberText, GainAndDelayCodesReadWithoutDigitTails)
{
    expectTexts(gainText, Codes{{0, "-60dB"}, {299, "-0.2dB"}, {300, "0dB"}, {301, "0.2dB"}, {325, "5dB"}});
    expectTexts(delayText, Codes{{0, "0 ms"}, {1, "0.0104 ms"}, {1440, "14.976 ms"}});
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
        expectTexts(generalNumberText, Texts{{19.7, "19.7"}, {-0.2, "-0.2"}, {0.267, "0.267"}});
        expectTexts(oneDecimalText, Texts{{1000, "1000.0"}, {-24, "-24.0"}});
        EXPECT_EQ(gainText(27), "-54.6dB");
        EXPECT_EQ(delayText(1), "0.0104 ms");
        EXPECT_EQ(parseDecimal("1000.5"), 1000.5);
        EXPECT_EQ(parseDecimal("-0.2"), -0.2);
        EXPECT_EQ(parseDecimal("1000,5"), std::nullopt);
    }
}
