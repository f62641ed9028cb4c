#pragma once
// Several edits as one undo step: a match written into ten band records, an
// A/B switch. Each edit goes through the one edit path (ParameterEditor::apply)
// and so reaches the image, the screen and the amplifier like any other; the
// history keeps them together under `label`, and undo takes them all back.

#include "editing/edit_history.h"

#include <QString>

#include <functional>
#include <vector>

namespace talvex {

// Applies the edits that change the image as one step. `onUndoRedo(undone)`
// (optional) runs when the step is taken back (true) or done again (false).
// False, and no step, when no edit changes anything.
bool applyAsOneStep(EditHistory& history, ParameterEditor& editor, const QString& label,
                    const std::vector<ParameterEdit>& edits, std::function<void(bool undone)> onUndoRedo = {});

} // namespace talvex
