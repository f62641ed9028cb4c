#pragma once
// The equaliser page: page selection, the band and crossover boxes (binding,
// key filter, commit, Up/Down stepping), the five wheel apply operations and the
// type lists. Every accepted value ends in one of the graph's recompute-and-mark
// operations. The page finds its own controls under the window's central widget.
//
// One handler serves a whole row of boxes (the band comes from the box's name):
// boxEnter is edt_op3hpf_freqEnter, edt_op3lpf_freqEnter, edt_op3eq_freq_00Enter,
// edt_op3eq_gain_00Enter and edt_op3eq_qval_00Enter; boxMouseUp the five MouseUp
// handlers; boxKeyDown the five *_vk_updn handlers; boxKeyPress the five KeyPress
// filters with their commit on Enter; boxExit the five Exit handlers.

#include "editing/editing_context.h"
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
    EqPage(QWidget* root, ParameterModel& model, EditingContext& editing, QObject* parent = nullptr);

    ResponseGraph& graph() { return *graph_; }

    // Page selection: output k's "EQ/HPF/LPF" button (btn_op0_eq .. btn_op2_eq)
    // shows channel k + 1, "Main EQ" (btn_in0_eq) shows Main. Marks nothing.
    void btn_op0_eqClick(QAbstractButton* sender);
    void btn_in0_eqClick();

    // Wheel apply operations (registered with the editing context under these names).
    void edt_hpf_freqChange() { HLPF_edt_change(0); }
    void edt_lpf_freqChange() { HLPF_edt_change(1); }
    void edt_eq_freqChange() { EQ_band_edt_change(EditingContext::BoxKind::BandFrequency); }
    void edt_eq_gainChange() { EQ_band_edt_change(EditingContext::BoxKind::BandGain); }
    void edt_eq_qvalChange() { EQ_band_edt_change(EditingContext::BoxKind::BandQ); }

    // Type lists.
    void cbb_op3hpf_typeChange() { HLPF_type_Cbb_Change(0); }
    void cbb_op3lpf_typeChange() { HLPF_type_Cbb_Change(1); }
    void cbb_op3eq_type_00Change(QComboBox* sender) { EQ_type_cbb_Change(sender); }

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

    // Handlers shared by a whole row of boxes.
    void boxEnter(const Box& box);
    void boxMouseUp(const Box& box);
    void boxKeyDown(const Box& box, int key);
    bool boxKeyPress(const Box& box, const QKeyEvent& key); // true: the key is discarded
    void boxExit(const Box& box);
    void commit(const Box& box, bool byEnter);

    void HLPF_edt_change(int filter);
    void EQ_band_edt_change(Kind kind);
    void HLPF_type_Cbb_Change(int filter);
    void EQ_type_cbb_Change(QComboBox* combo);

    // Image entry a box edits on the current page, and its chunk.
    int fieldOf(const Box& box) const;
    int chunkOf(const Box& box) const;
    int codeAt(Kind kind, int field) const;
    void storeCode(Kind kind, int field, int code);
    void recomputeAndMark(const Box& box);
    QLineEdit* boxNamed(const std::string& name) const;

    ParameterModel& model_;
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
};

} // namespace talvex
