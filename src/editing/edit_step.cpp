#include "editing/edit_step.h"

#include "model/parameter_model.h"

#include <QUndoCommand>

#include <utility>

namespace talvex {

namespace {

// Tells its owner when the step it closes is taken back or done again.
class StepHook : public QUndoCommand {
public:
    explicit StepHook(std::function<void(bool)> hook) : hook_(std::move(hook)) {}
    void undo() override { hook_(true); }
    void redo() override
    {
        if (!std::exchange(first_, false))
            hook_(false);
    }

private:
    std::function<void(bool)> hook_;
    bool first_ = true;
};

bool changes(const ParameterModel& model, const ParameterEdit& edit)
{
    for (const EntryChange& change : edit.entries)
        if (change.entry < 0 || change.entry >= int(model.image.size()) ||
            model.image[std::size_t(change.entry)] != change.after)
            return true;
    return false;
}

} // namespace

bool applyAsOneStep(EditHistory& history, ParameterEditor& editor, const QString& label,
                    const std::vector<ParameterEdit>& edits, std::function<void(bool undone)> onUndoRedo)
{
    std::vector<const ParameterEdit*> changing;
    for (const ParameterEdit& edit : edits)
        if (changes(editor.model(), edit))
            changing.push_back(&edit);
    if (changing.empty())
        return false;
    QUndoStack& stack = history.stack();
    stack.beginMacro(label);
    for (const ParameterEdit* edit : changing)
        editor.apply(*edit);
    if (onUndoRedo)
        stack.push(new StepHook(std::move(onUndoRedo)));
    stack.endMacro();
    return true;
}

} // namespace talvex
