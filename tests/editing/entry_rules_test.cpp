#include "editing/entry_rules.h"

#include "support/locale_scope.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

TEST(EntryRules, TypedValuesGoToTheNearestCodeTiesDownAndClampToTheTableEnds)
{
    const std::tuple<EntryKind, std::string, int, Shown> cases[] = {
        {Frequency, "1015", 0, {136, "1000"}}, /* half-way: lower code */ {Frequency, "1016", 0, {137, "1030"}},
        {Frequency, "1000.0", 0, {136, "1000"}}, {Gain, "-0.1", 120, {119, "-0.2"}}, {Gain, "0.1", 0, {120, "0"}},
        {Q, "4.072", 0, {42, "4.072"}}, {Frequency, "30000", 0, {243, "21900"}}, {Frequency, "5", 100, {0, "19.7"}},
        {Frequency, "0", 100, {0, "19.7"}}, {Q, "100", 0, {78, "92.302"}}, {Q, "0.1", 40, {0, "0.267"}},
        {Gain, "13", 0, {180, "12"}}, {Gain, "-99", 120, {0, "-24"}},
        // Far beyond a double's range is not a number to clamp but text to restore.
        {Frequency, std::string(400, '9'), 136, {136, "1000"}},
    };
    for (const auto& [kind, typed, current, shown] : cases)
        EXPECT_EQ(enter(kind, typed, current), shown) << typed;
    EXPECT_EQ(enter(Frequency, ".5e", 7).first, 7);
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
