#include "editing/entry_rules.h"

#include "support/locale_scope.h"

#include <gtest/gtest.h>

#include <string>

using namespace talvex;
using namespace talvex::testing;
using enum EntryKind;
using Shown = std::pair<int, std::string>;

namespace {

// The code a typed text gives, and the text the box shows afterwards.
Shown enter(EntryKind kind, std::string text, int current)
{
    const int code = applyEntryRule(kind, text, current);
    return {code, text};
}

} // namespace

TEST(EntryRules, TypedValuesGoToTheNearestCodeTiesDown)
{
    EXPECT_EQ(enter(Frequency, "1015", 0), Shown(136, "1000")); // half-way: lower code
    EXPECT_EQ(enter(Frequency, "1016", 0), Shown(137, "1030"));
    EXPECT_EQ(enter(Frequency, "1000.0", 0), Shown(136, "1000"));
    EXPECT_EQ(enter(Gain, "-0.1", 120), Shown(119, "-0.2"));
    EXPECT_EQ(enter(Gain, "0.1", 0), Shown(120, "0"));
    EXPECT_EQ(enter(Q, "4.072", 0), Shown(42, "4.072"));
    EXPECT_EQ(enter(Frequency, ".5e", 7).first, 7);
}

TEST(EntryRules, OutOfRangeValuesClampToTheTableEnds)
{
    EXPECT_EQ(enter(Frequency, "30000", 0), Shown(243, "21900"));
    EXPECT_EQ(enter(Frequency, "5", 100), Shown(0, "19.7"));
    EXPECT_EQ(enter(Frequency, "0", 100), Shown(0, "19.7"));
    EXPECT_EQ(enter(Q, "100", 0), Shown(78, "92.302"));
    EXPECT_EQ(enter(Q, "0.1", 40), Shown(0, "0.267"));
    EXPECT_EQ(enter(Gain, "13", 0), Shown(180, "12"));
    EXPECT_EQ(enter(Gain, "-99", 120), Shown(0, "-24"));
    // Far beyond a double's range is not a number to clamp but text to restore.
    EXPECT_EQ(enter(Frequency, std::string(400, '9'), 136), Shown(136, "1000"));
}

TEST(EntryRules, TextThatIsNotANumberRestoresTheCurrentValue)
{
    for (const char* bad : {"", ".", "-", "-.", "1.2.3", "5-", "1-2", "--1", "1e3", "+5", "abc", "1,5"})
        EXPECT_EQ(enter(Gain, bad, 119), Shown(119, "-0.2")) << '"' << bad << '"';
    // The restored text is the general form, also for codes from foreign data.
    EXPECT_EQ(enter(Frequency, "", 250), Shown(250, "21900"));
    EXPECT_EQ(enter(Q, "", 42).second, "4.072");
}

TEST(EntryRules, DecimalsReadWithAFullStopInEveryLocale)
{
    EXPECT_EQ(enter(Frequency, " 1010 ", 0), Shown(136, "1000"));
    EXPECT_EQ(enter(Gain, "-.1", 0).first, 119);
    EXPECT_EQ(enter(Q, "5.", 0).first, enter(Q, "5", 0).first);
    // A desktop with a decimal comma must read and show the same.
    for (const char* name : kCommaLocales) {
        SCOPED_TRACE(name);
        LocaleScope locale(name);
        EXPECT_EQ(enter(Frequency, "1015.5", 0), Shown(137, "1030"));
        EXPECT_EQ(enter(Frequency, "19.70", 5), Shown(0, "19.7"));
        EXPECT_EQ(enter(Gain, "1000,5", 119), Shown(119, "-0.2"));
    }
}

TEST(EntryRules, KeyFilterLetsMinusIntoGainBoxesOnly)
{
    EXPECT_TRUE(acceptsCharacter(Gain, '-'));
    EXPECT_FALSE(acceptsCharacter(Frequency, '-') || acceptsCharacter(Q, '-'));
    for (EntryKind kind : {Frequency, Gain, Q}) {
        EXPECT_TRUE(acceptsCharacter(kind, '.') && acceptsCharacter(kind, '7'));
        EXPECT_FALSE(acceptsCharacter(kind, ',') || acceptsCharacter(kind, 'e'));
    }
}
