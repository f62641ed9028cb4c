#pragma once
// One user edit of the parameter image: the entries it writes with their values
// before and after, the chunk that carries them to the device, a label that
// names the edit for a person ("Low gain", "EQ 4 (Main)") and a merge key that
// names the control, so that consecutive edits of one control (a wheel burst, a
// track-bar drag, one marker drag) can be taken as one step.

#include <string>
#include <vector>

namespace talvex {

struct ParameterModel;

struct EntryChange {
    int entry = 0;
    int before = 0; // filled in when the edit is applied
    int after = 0;
};

struct ParameterEdit {
    std::string label;
    // Equal non-empty keys on consecutive edits: the same control, taken as one
    // step when the edits follow closely. A key with a '#' names one gesture (a
    // marker drag from press to release), one step however slow. Empty: the edit
    // never merges (toggles, list choices).
    std::string mergeKey;
    std::vector<EntryChange> entries;

    ParameterEdit() = default;
    explicit ParameterEdit(std::string label, std::string mergeKey = {})
        : label(std::move(label)), mergeKey(std::move(mergeKey))
    {
    }

    // Adds one entry with its new value; set16 adds a 16-bit code as its low and
    // high entries.
    ParameterEdit& set(int entry, int value);
    ParameterEdit& set16(int entry, int code);

    // The chunk of the entries (all of one edit lie in one chunk); -1 when empty.
    int chunk() const;
    bool touches(int entry) const;
    // Whether any entry's value differs from what it held. An edit that changes
    // nothing still marks its chunk (a wheel turn at a range limit sends again).
    bool changesImage() const;
    // The same entries going back: `after` and `before` swapped.
    ParameterEdit inverted() const;

    // Fills in each entry's `before` from the image, writes the `after` values,
    // and sets the chunk's pending-write flag. False (and nothing written) when
    // an entry lies outside the image or the entries span more than one chunk.
    bool applyTo(ParameterModel& model);
};

} // namespace talvex
