#include "model/parameter_edit.h"

#include "model/parameter_model.h"

#include <algorithm>

namespace talvex {

ParameterEdit& ParameterEdit::set(int entry, int value)
{
    entries.push_back({entry, 0, value});
    return *this;
}

ParameterEdit& ParameterEdit::set16(int entry, int code)
{
    set(entry, code % 256);
    return set(entry + 1, code / 256);
}

int ParameterEdit::chunk() const { return entries.empty() ? -1 : chunkOf(entries.front().entry); }

bool ParameterEdit::touches(int entry) const
{
    return std::any_of(entries.begin(), entries.end(), [entry](const EntryChange& c) { return c.entry == entry; });
}

bool ParameterEdit::changesImage() const
{
    return std::any_of(entries.begin(), entries.end(), [](const EntryChange& c) { return c.before != c.after; });
}

ParameterEdit ParameterEdit::inverted() const
{
    ParameterEdit back = *this;
    for (EntryChange& change : back.entries)
        std::swap(change.before, change.after);
    return back;
}

bool ParameterEdit::applyTo(ParameterModel& model)
{
    const int first = chunk();
    if (first < 0)
        return false;
    for (const EntryChange& change : entries)
        if (change.entry < 0 || change.entry >= kImageSize || chunkOf(change.entry) != first)
            return false;
    for (EntryChange& change : entries) {
        change.before = model.image[std::size_t(change.entry)];
        model.image[std::size_t(change.entry)] = change.after;
    }
    model.markChunk(first);
    return true;
}

} // namespace talvex
