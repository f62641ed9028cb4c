#include "editing/entry_rules.h"

#include "model/number_text.h"
#include "model/value_tables.h"

#include <algorithm>
#include <charconv>

namespace talvex {

namespace {

struct Limits {
    double lowest;
    double highest;
};

Limits limitsOf(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Gain: return {kEqGainTable.front(), kEqGainTable.back()};
    case EntryKind::Q: return {kQTable.front(), kQTable.back()};
    default: return {kFrequencyTable.front(), kFrequencyTable.back()};
    }
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

int highestEntryCode(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Gain: return kEqGainCodes - 1;
    case EntryKind::Q: return kQCodes - 1;
    default: return kFrequencyCodes - 1;
    }
}

double entryValue(EntryKind kind, int code)
{
    switch (kind) {
    case EntryKind::Gain: return eqGainAt(code);
    case EntryKind::Q: return qAt(code);
    default: return frequencyAt(code);
    }
}

int applyEntryRule(EntryKind kind, std::string& text, int currentCode)
{
    // Blanks around a typed number are ignored; the number itself reads with a
    // full stop whatever the desktop's locale.
    const std::optional<double> typed = parseDecimal(trimmed(text));
    if (!typed) {
        text = generalNumberText(entryValue(kind, currentCode));
        return currentCode;
    }
    const Limits limits = limitsOf(kind);
    const double value = std::clamp(*typed, limits.lowest, limits.highest);
    int code = 0;
    switch (kind) {
    case EntryKind::Gain: code = nearestEqGainCode(value); break;
    case EntryKind::Q: code = nearestQCode(value); break;
    default: code = nearestFrequencyCode(value); break;
    }
    text = generalNumberText(entryValue(kind, code));
    return code;
}

bool acceptsCharacter(EntryKind kind, char c)
{
    return (c >= '0' && c <= '9') || c == '.' || (c == '-' && kind == EntryKind::Gain);
}

} // namespace talvex
