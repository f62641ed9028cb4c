#pragma once
// The "Match to target" dialog (dlgMatchTarget): range, target (flat or a tilt
// in dB per octave), the bands it may use and the maximum boost. Every change
// of a field fits again; the graph shows the proposal and the dialog the RMS
// deviation before and after. "Apply" writes the proposal as one undo step,
// "Cancel" (or closing) leaves everything as it was. Window-modal, shown with
// open(): no event loop of its own.

#include "tuning/tuning_panel.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace talvex {

class MatchDialog : public QDialog {
    Q_OBJECT
public:
    MatchDialog(TuningPanel& panel, QWidget* parent);

    // Fields from `settings`, then a fit.
    void start(const match::Settings& settings);
    // The settings the fields hold; nothing (and `why`) when one is not a number.
    std::optional<match::Settings> settings(QString* why = nullptr) const;
    const std::optional<TuningPanel::Proposal>& proposal() const { return proposal_; }

    void refit();
    void applyProposal();

protected:
    void done(int result) override;

private:
    TuningPanel& panel_;
    bool closing_ = false;
    std::optional<TuningPanel::Proposal> proposal_;
    QLineEdit* low_ = nullptr;
    QLineEdit* high_ = nullptr;
    QComboBox* target_ = nullptr;
    QLineEdit* tilt_ = nullptr;
    QComboBox* bands_ = nullptr;
    QLineEdit* boost_ = nullptr;
    QLabel* result_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace talvex
