#pragma once
// The undo history of parameter edits, on QUndoStack.
//
// Every edit a user makes reaches the image through ParameterEditor::apply;
// the history records each one that changed the image as one step, labelled
// with the edit ("Low gain", "EQ 4 (Main)"). An edit with the same merge key
// as the step before it, made within kMergeWindowMs of that step's last edit,
// joins that step: a wheel burst, a track-bar drag, keys held on a box; the
// edits of one marker drag (a gesture key) join it however slow the drag. Undo applies the step's values before,
// redo its values after, through the same edit path (Origin::Replay), so the
// image, the screen and the pending-write flag follow as for any edit and the
// amplifier gets them with the next send tick.
//
// The history clears when the whole image is replaced (a read-all, a preset or
// a group load, an opened file); disconnecting keeps it.

#include "editing/parameter_editor.h"

#include <QObject>
#include <QUndoStack>

#include <cstdint>
#include <functional>

class QAction;
class QMenu;

namespace talvex {

class EditHistory : public QObject {
    Q_OBJECT
public:
    // Edits of one control further apart than this are separate steps.
    static constexpr std::int64_t kMergeWindowMs = 1500;
    // Milliseconds on a steady clock; tests hand in their own.
    using Clock = std::function<std::int64_t()>;

    explicit EditHistory(ParameterEditor& editor, Clock clock = {}, QObject* parent = nullptr);

    // Puts "Undo" (Ctrl+Z) and "Redo" (Ctrl+Shift+Z, Ctrl+Y) into the window's
    // "Edit" menu (menuEdit); their texts name the step they would take.
    void addMenuActions(QMenu& editMenu);

    QUndoStack& stack() { return stack_; }
    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }

public slots:
    // The whole image was replaced: no step can be taken back any more.
    void clear();

private:
    void record(const ParameterEdit& edit, ParameterEditor::Origin origin);

    ParameterEditor& editor_;
    Clock clock_;
    QUndoStack stack_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
};

} // namespace talvex
