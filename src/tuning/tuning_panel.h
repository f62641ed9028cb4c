#pragma once
// Tuning with a measurement, for the channel the equaliser page shows: the
// "Tuning" menu of the main window with
//   "Import measurement…"  a REW text, FRD or CSV file becomes the channel's
//                          measurement for this session (a refused file changes nothing),
//   "Clear measurement"    forgets it,
//   "Match to target…"     the match dialog (MatchDialog): fit, preview, Apply or Cancel,
//   "Switch to B" / "Switch to A" (F6) and "Copy A to B": two settings of the
//                          channel's equaliser page, switched in one undoable step.
// The graph draws the measurement, the prediction and the target from the
// overlays this panel keeps. Every change of the image goes through `applyStep`,
// the window's one edit path, as one undo step.

#include "response/curve_overlay.h"
#include "response/eq_match.h"
#include "response/measurement_file.h"
#include "tuning/channel_settings.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMainWindow;

namespace talvex {

class FileDialogs;
class Prompts;
struct ParameterModel;

class MatchDialog;

class TuningPanel : public QObject {
    Q_OBJECT
public:
    // Applies `edits` as one undo step named `label`; `onUndoRedo(undone)` runs
    // when the step is taken back (true) or done again (false). False when no
    // edit changed anything (no step then).
    using ApplyStep = std::function<bool(const QString& label, const std::vector<ParameterEdit>& edits,
                                         std::function<void(bool undone)> onUndoRedo)>;

    struct Parts {
        ParameterModel& model;
        Prompts& prompts;
        FileDialogs& dialogs;
        ApplyStep applyStep;
        // The graph draws these overlays (null: none) and is drawn again.
        std::function<void(const ChannelOverlays*)> showOverlays;
    };

    TuningPanel(QMainWindow& window, Parts parts, QObject* parent = nullptr);
    ~TuningPanel() override;

    // The menu actions (actionImportMeasurement, actionClearMeasurement,
    // actionMatchTarget, actionSwitchAB, actionCopyAToB).
    void importMeasurement();
    void clearMeasurement();
    void openMatchDialog();
    void switchAB();
    void copyAToB();

    bool hasMeasurement(int channel) const { return measurements_.at(std::size_t(channel)).has_value(); }
    int activeSlot(int channel) const { return slots_.active(channel); }
    const ChannelOverlays& overlays() const { return overlays_; }
    MatchDialog* matchDialog() const { return dialog_; }

    // The dialog's work: a fit of the page channel with these settings.
    struct Proposal {
        int channel = 0;
        match::Settings settings;
        match::ChannelRecords before;
        std::array<match::Record, 10> bands{};
        double rmsBefore = 0.0, rmsAfter = 0.0;
    };
    std::optional<Proposal> propose(const match::Settings& settings, QString* why = nullptr);
    // Shows a proposal's predicted response on the graph (none: hides it).
    void preview(const std::optional<Proposal>& proposal);
    // The dialog closed: the preview goes; without Apply the range and target
    // shown are those from before the dialog.
    void matchClosed(bool applied);
    // Writes a proposal through the edit path as one step; a channel that
    // changed since the proposal is fitted again first.
    void applyProposal(Proposal proposal);

private:
    int channel() const;
    void refreshActions();
    void refreshOverlay(int channel);

    QMainWindow& window_;
    Parts parts_;
    std::array<std::optional<measurement::Measurement>, 4> measurements_;
    std::array<match::Settings, 4> lastSettings_; // the match range and tilt last used per channel
    match::Settings settingsBeforeDialog_;
    ChannelOverlays overlays_;
    tuning::AbSlots slots_;
    MatchDialog* dialog_ = nullptr;
    QAction* import_ = nullptr;
    QAction* clear_ = nullptr;
    QAction* match_ = nullptr;
    QAction* switch_ = nullptr;
    QAction* copy_ = nullptr;
};

} // namespace talvex
