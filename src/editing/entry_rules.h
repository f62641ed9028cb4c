#pragma once
// Typed equaliser and crossover values: text to device code, with the clamps to
// each table's range and the restore of text that is not a number. Plain C++.

#include <optional>
#include <string>
#include <string_view>

namespace talvex {

// Which table a box edits.
enum class EntryKind { Frequency, Gain, Q };

// Highest code of a kind's table (243, 180, 78) and the table value at a code.
int highestEntryCode(EntryKind kind);
double entryValue(EntryKind kind, int code);

// The entry rule: converts `text` to the code of the nearest table value and
// rewrites `text` with that value's general number text. Values beyond the
// table are clamped to its first or last value. Text that is not a number is
// replaced by the value at `currentCode`, which is returned unchanged.
int applyEntryRule(EntryKind kind, std::string& text, int currentCode);

// Key filter of the boxes: digits and "." everywhere, "-" in gain boxes only
// (Backspace and Enter are handled by the box itself).
bool acceptsCharacter(EntryKind kind, char c);

} // namespace talvex
