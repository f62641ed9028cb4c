#include "editing/edit_history.h"

#include "ui/controls.h"

#include <QAction>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QMenu>
#include <QUndoCommand>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <utility>

namespace talvex {

namespace {

// One step: an edit already applied when it is pushed.
class EditStep : public QUndoCommand {
public:
    EditStep(ParameterEditor& editor, ParameterEdit edit, std::int64_t at)
        : QUndoCommand(QString::fromStdString(edit.label)), editor_(editor), edit_(std::move(edit)), lastAt_(at)
    {
    }

    void undo() override { editor_.apply(edit_.inverted(), ParameterEditor::Origin::Replay); }
    void redo() override
    {
        if (std::exchange(applied_, false))
            return; // pushed after the user's own apply
        editor_.apply(edit_, ParameterEditor::Origin::Replay);
    }

    int id() const override { return edit_.mergeKey.empty() ? -1 : 1; }

    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const EditStep*>(other);
        if (next->edit_.mergeKey != edit_.mergeKey)
            return false;
        const bool gesture = edit_.mergeKey.find('#') != std::string::npos;
        if (!gesture && next->lastAt_ - lastAt_ > EditHistory::kMergeWindowMs)
            return false;
        // The step keeps each entry's first value before and takes the latest after.
        for (const EntryChange& change : next->edit_.entries) {
            auto same = std::find_if(edit_.entries.begin(), edit_.entries.end(),
                                     [&](const EntryChange& mine) { return mine.entry == change.entry; });
            if (same == edit_.entries.end())
                edit_.entries.push_back(change);
            else
                same->after = change.after;
        }
        lastAt_ = next->lastAt_;
        setObsolete(!edit_.changesImage()); // back where it started: nothing to undo
        return true;
    }

private:
    ParameterEditor& editor_;
    ParameterEdit edit_;
    std::int64_t lastAt_;
    bool applied_ = true;
};

} // namespace

EditHistory::EditHistory(ParameterEditor& editor, Clock clock, QObject* parent)
    : QObject(parent), editor_(editor), clock_(std::move(clock))
{
    setObjectName(QStringLiteral("editHistory"));
    if (!clock_) {
        auto since = std::make_shared<QElapsedTimer>();
        since->start();
        clock_ = [since] { return std::int64_t(since->elapsed()); };
    }
    connect(&editor_, &ParameterEditor::edited, this, &EditHistory::record);
}

void EditHistory::record(const ParameterEdit& edit, ParameterEditor::Origin origin)
{
    // A replayed step is the history's own; an edit that changed nothing (a
    // wheel turn at a range limit) has nothing to take back.
    if (origin != ParameterEditor::Origin::User || !edit.changesImage())
        return;
    stack_.push(new EditStep(editor_, edit, clock_()));
}

void EditHistory::clear() { stack_.clear(); }

void EditHistory::addMenuActions(QMenu& editMenu)
{
    QMenu* menu = &editMenu;
    undo_ = stack_.createUndoAction(menu, QStringLiteral("Undo"));
    undo_->setObjectName(QStringLiteral("actionUndo"));
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_ = stack_.createRedoAction(menu, QStringLiteral("Redo"));
    redo_->setObjectName(QStringLiteral("actionRedo"));
    redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    menu->addAction(undo_);
    menu->addAction(redo_);
}

} // namespace talvex
