#include "editing/entry_rules.h"

#include "support/locale_scope.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace talvex;
using namespace talvex::testing;

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
    EXPECT_EQ(enter(EntryKind::Frequency, " 1010 ", 0), std::make_pair(136, std::string("1000")));
    EXPECT_EQ(enter(EntryKind::Gain, "-.1", 0).first, 119);
    EXPECT_EQ(enter(EntryKind::Q, "5.", 0).first, enter(EntryKind::Q, "5", 0).first);
    // A desktop with a decimal comma must read and show the same.
    for (const char* name : talvex::testing::kCommaLocales) {
        SCOPED_TRACE(name);
        talvex::testing::LocaleScope locale(name);
        EXPECT_EQ(enter(EntryKind::Frequency, "1015.5", 0), std::make_pair(137, std::string("1030")));
        EXPECT_EQ(enter(EntryKind::Frequency, "19.70", 5), std::make_pair(0, std::string("19.7")));
        EXPECT_EQ(enter(EntryKind::Gain, "1000,5", 119), std::make_pair(119, std::string("-0.2")));
    }
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
