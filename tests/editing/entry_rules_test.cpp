#include "editing/entry_rules.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace talvex;

namespace {

// The code a typed text gives, and the text the box shows afterwards.
std::pair<int, std::string> enter(EntryKind kind, std::string text, int current)
{
    const int code = applyEntryRule(kind, text, current);
    return {code, text};
}

} // namespace

TEST(EntryRules, TypedValuesGoToTheNearestCodeTiesDown)
{
    using P = std::pair<int, std::string>;
    EXPECT_EQ(enter(EntryKind::Frequency, "1015", 0), P(136, "1000")); // half-way: lower code
    EXPECT_EQ(enter(EntryKind::Frequency, "1016", 0), P(137, "1030"));
    EXPECT_EQ(enter(EntryKind::Frequency, "1000.0", 0), P(136, "1000"));
    EXPECT_EQ(enter(EntryKind::Gain, "-0.1", 120), P(119, "-0.2"));
    EXPECT_EQ(enter(EntryKind::Gain, "0.1", 0), P(120, "0"));
    EXPECT_EQ(enter(EntryKind::Q, "4.072", 0), P(42, "4.072"));
    EXPECT_EQ(enter(EntryKind::Frequency, ".5e", 7).first, 7);
}

TEST(EntryRules, OutOfRangeValuesClampToTheTableEnds)
{
    using P = std::pair<int, std::string>;
    EXPECT_EQ(enter(EntryKind::Frequency, "30000", 0), P(243, "21900"));
    EXPECT_EQ(enter(EntryKind::Frequency, "5", 100), P(0, "19.7"));
    EXPECT_EQ(enter(EntryKind::Frequency, "0", 100), P(0, "19.7"));
    EXPECT_EQ(enter(EntryKind::Q, "100", 0), P(78, "92.302"));
    EXPECT_EQ(enter(EntryKind::Q, "0.1", 40), P(0, "0.267"));
    EXPECT_EQ(enter(EntryKind::Gain, "13", 0), P(180, "12"));
    EXPECT_EQ(enter(EntryKind::Gain, "-99", 120), P(0, "-24"));
    // Far beyond a double's range is not a number to clamp but text to restore.
    EXPECT_EQ(enter(EntryKind::Frequency, std::string(400, '9'), 136), P(136, "1000"));
}

TEST(EntryRules, TextThatIsNotANumberRestoresTheCurrentValue)
{
    for (const char* bad : {"", ".", "-", "-.", "1.2.3", "5-", "1-2", "--1", "1e3", "+5", "abc", "1,5"}) {
        const auto [code, text] = enter(EntryKind::Gain, bad, 119);
        EXPECT_EQ(code, 119) << '"' << bad << '"';
        EXPECT_EQ(text, "-0.2") << '"' << bad << '"';
    }
    // The restored text is the general form, also for codes from foreign data.
    EXPECT_EQ(enter(EntryKind::Frequency, "", 250), std::make_pair(250, std::string("21900")));
    EXPECT_EQ(enter(EntryKind::Q, "", 42).second, "4.072");
}

TEST(EntryRules, DecimalsReadWithAFullStopInEveryLocale)
{
    EXPECT_EQ(parseDecimal(" 12.5 "), 12.5);
    EXPECT_EQ(parseDecimal("5."), 5.0);
    EXPECT_EQ(parseDecimal(".5"), 0.5);
    EXPECT_EQ(parseDecimal("-0"), 0.0);

    // A desktop with a decimal comma must read and show the same.
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    bool installed = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            installed = true;
            break;
        }
    if (!installed)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const auto stop = parseDecimal("1000.5");
    const auto withComma = parseDecimal("1000,5");
    std::string text = "19.70";
    applyEntryRule(EntryKind::Frequency, text, 0);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(stop, 1000.5);
    EXPECT_FALSE(withComma);
    EXPECT_EQ(text, "19.7");
}

TEST(EntryRules, KeyFilterLetsMinusIntoGainBoxesOnly)
{
    EXPECT_TRUE(acceptsCharacter(EntryKind::Gain, '-'));
    EXPECT_FALSE(acceptsCharacter(EntryKind::Frequency, '-'));
    EXPECT_FALSE(acceptsCharacter(EntryKind::Q, '-'));
    for (EntryKind kind : {EntryKind::Frequency, EntryKind::Gain, EntryKind::Q}) {
        EXPECT_TRUE(acceptsCharacter(kind, '.'));
        EXPECT_TRUE(acceptsCharacter(kind, '7'));
        EXPECT_FALSE(acceptsCharacter(kind, ','));
        EXPECT_FALSE(acceptsCharacter(kind, 'e'));
    }
}
