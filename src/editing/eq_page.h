#pragma once
// The equaliser page: page selection, the band and crossover boxes (binding,
// key filter, commit, Up/Down stepping), the five wheel apply operations and the
// type lists. Every accepted value goes to the edit path (ParameterEditor); the
// page shows every applied edit of a crossover or band record (its own and any
// other's) by recomputing that filter's curve and rewriting its box. The page
// finds its own controls under the window's central widget.
//
// One handler serves a whole row of boxes (the band comes from the box's name):
// boxEnter is edt_op3hpf_freqEnter, edt_op3lpf_freqEnter, edt_op3eq_freq_00Enter,
// edt_op3eq_gain_00Enter and edt_op3eq_qval_00Enter; boxMouseUp the five MouseUp
// handlers; boxKeyDown the five *_vk_updn handlers; boxKeyPress the five KeyPress
// filters with their commit on Enter; boxExit the five Exit handlers.

#include "editing/editing_context.h"
#include "editing/parameter_editor.h"
#include "editing/entry_rules.h"
#include "editing/response_graph.h"

#include <QObject>

#include <array>
#include <unordered_map>

class QAbstractButton;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;

namespace talvex {

struct ParameterModel;

class EqPage : public QObject {
    Q_OBJECT
public:
    EqPage(QWidget* root, ParameterEditor& editor, EditingContext& editing, QObject* parent = nullptr);

    ResponseGraph& graph() { return *graph_; }

    // Shows the image: Main's page filled from it, curves recomputed and drawn,
    // with the controls' signals blocked. Marks nothing; a focused, bound box
    // is bound again to its entry on Main's page.
    void showImage();

    // Page selection: output k's "EQ/HPF/LPF" button (btn_op0_eq .. btn_op2_eq,
    // published as btn_op0_eqClick) shows channel k + 1, "Main EQ" (btn_in0_eq,
    // btn_in0_eqClick) shows Main. Marks nothing.
    void selectOutputPage(QAbstractButton* sender);
    void selectMainPage();

    // Type lists: cbb_op3hpf_typeChange / cbb_op3lpf_typeChange
    // (HLPF_type_Cbb_Change) and cbb_op3eq_type_00Change (EQ_type_cbb_Change).
    void chooseCrossoverType(int filter);
    void chooseBandType(QComboBox* sender);

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
    void boxEnter(const Box& box);
    void boxMouseUp(const Box& box);
    void boxKeyDown(const Box& box, int key);
    bool boxKeyPress(const Box& box, const QKeyEvent& key); // true: the key is discarded
    void boxExit(const Box& box);
    void commit(const Box& box, bool byEnter);
    // Escape: the box shows its stored value again and commits nothing.
    void cancel(const Box& box);

    // The wheel apply operations (edt_hpf_freqChange, edt_lpf_freqChange,
    // edt_eq_freqChange, edt_eq_gainChange, edt_eq_qvalChange): the stepped
    // code goes to the field the context designates.
    void applyWheelStep(Kind kind, int code);
    // One box's code to the edit path.
    void editField(int field, Kind kind, int code);

    // Image entry a box edits on the current page.
    int fieldOf(const Box& box) const;
    int codeAt(Kind kind, int field) const;
    QLineEdit* boxOfField(int channel, int field) const;

    ParameterModel& model_;
    ParameterEditor& editor_;
    EditingContext& editing_;
    ResponseGraph* graph_ = nullptr;
    std::unordered_map<const QObject*, Box> boxes_;
    QLabel* lbl_cur_ch_ = nullptr;
    QLineEdit* edt_op3hpf_freq_ = nullptr;
    QLineEdit* edt_op3lpf_freq_ = nullptr;
    QComboBox* cbb_op3hpf_type_ = nullptr;
    QComboBox* cbb_op3lpf_type_ = nullptr;
    std::array<QLineEdit*, 10> freqBoxes_{}, gainBoxes_{}, qBoxes_{};
    std::array<QComboBox*, 10> typeLists_{};
    const QObject* forwardingRelease_ = nullptr;
    // The box Escape restored and the text it put back: while that text stands,
    // leaving the box commits nothing.
    const QLineEdit* cancelledBox_ = nullptr;
    QString cancelledText_;
};

} // namespace talvex
