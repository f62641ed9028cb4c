#pragma once
// The equaliser page: page selection, the band and crossover boxes (binding,
// key filter, commit, Up/Down stepping, the wheel) and the type lists. Every
// accepted value goes to the edit path (ParameterEditor); the page shows every
// applied edit of a crossover or band record (its own and any other's) by
// recomputing that filter's curve and rewriting its box. One handler serves a
// whole row of boxes; the band comes from the box's place in the row.

#include "editing/editing_context.h"
#include "editing/parameter_editor.h"
#include "editing/entry_rules.h"
#include "editing/response_graph.h"
#include "ui/views.h"

#include <QObject>

#include <array>
#include <unordered_map>

class QKeyEvent;
class QLineEdit;

namespace talvex {

struct ParameterModel;

class EqPage : public QObject {
    Q_OBJECT
public:
    EqPage(const EqPageView& view, ParameterEditor& editor, EditingContext& editing, QObject* parent = nullptr);

    ResponseGraph& graph() { return *graph_; }

    // Shows the image: Main's page filled from it, curves recomputed and drawn,
    // with the controls' signals blocked. Marks nothing; a focused, bound box
    // is bound again to its entry on Main's page.
    void showImage();

    // Page selection: channel 0 Main, 1 High, 2 Mid, 3 Low (the page buttons
    // "Main EQ" and the outputs' "EQ/HPF/LPF"). Marks nothing.
    void selectPage(int channel);

    // Type lists: filter 0 high-pass, 1 low-pass; bands 0..9.
    void chooseCrossoverType(int filter);
    void chooseBandType(int band);

signals:
    void hidePopupsRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Kind = EditingContext::BoxKind;
    struct Box {
        Kind kind;
        int band; // 0..9; 0 for the crossover boxes
        QLineEdit* edit;
    };

    void showPage(int channel);
    // Switches to the page of the channel whose filters or bands the edit changes.
    void showPageOf(const ParameterEdit& edit);
    // Recomputes and redraws what an applied edit changed.
    void showEdit(const ParameterEdit& edit);

    // Handlers shared by a whole row of boxes.
    void bindBox(const Box& box);
    void boxEnter(const Box& box);
    void boxMouseUp(const Box& box);
    void boxKeyDown(const Box& box, int key);
    bool boxKeyPress(const Box& box, const QKeyEvent& key); // true: the key is discarded
    void boxExit(const Box& box);
    void commit(const Box& box, bool byEnter);
    // Escape: the box shows its stored value again and commits nothing.
    void cancel(const Box& box);

    // One box's code to the edit path.
    void editField(int field, Kind kind, int code);

    // Image entry a box edits on the current page.
    int fieldOf(const Box& box) const;
    int codeAt(Kind kind, int field) const;
    QString storedText(const Box& box) const;
    QLineEdit* boxOfField(int channel, int field) const;

    ParameterModel& model_;
    ParameterEditor& editor_;
    EditingContext& editing_;
    ResponseGraph* graph_ = nullptr;
    EqPageView view_;
    std::unordered_map<const QObject*, Box> boxes_;
    const QObject* forwardingRelease_ = nullptr;
    // The box Escape restored and the text it put back: while that text stands,
    // leaving the box commits nothing.
    const QLineEdit* cancelledBox_ = nullptr;
    QString cancelledText_;
};

} // namespace talvex
