#pragma once
// The channel strip (grp2) and its three pop-up editors: mute, polarity and
// recoup toggles, the gain, delay and limiter pop-ups, the Main input gain track
// bar and the bridge menu. Every edit goes through the edit path, which marks
// the chunk it changed; the send scheduler does the writing.

#include "ui/views.h"

#include <QObject>

#include <array>
#include <string>

class QAbstractButton;
class QComboBox;
class QSlider;
class QWidget;

namespace talvex {

class EditingContext;
class ParameterEditor;
struct ParameterEdit;
struct ParameterModel;

class ChannelStrip : public QObject {
    Q_OBJECT
public:
    // Edits reach the image through `editor`; the strip shows every applied
    // edit of its entries, whoever made it.
    ChannelStrip(const StripView& view, ParameterEditor& editor, EditingContext& editing);
    ~ChannelStrip() override;

    // The strip's part of showing the image: pop-ups hidden, toggles, input gain
    // and the bridge configuration shown as the image holds them, with the
    // controls' signals blocked. Marks nothing and leaves the editing context alone.
    void showImage();

    // Toggles of output `k` (0 High, 1 Mid, 2 Low) and of Main.
    void toggleMute(int k);
    void togglePolarity(int k);
    void toggleMainPolarity();
    void toggleRecoup(int k);

    // Pop-ups of output `k`, beside the button that opens them.
    void openGainPopup(int k);
    void openDelayPopup(int k);
    void openMainDelayPopup();
    void openLimiterPopup(int k);

    // Bridge menu: mode 0 "No BTL", 1 "Low-mid BTL", 2 "high-mid BTL", 3 "Low-mid BTL high=low".
    void chooseBridgeMode(int mode);

    // Output channel whose gain the gain pop-up edits (0 High, 1 Mid, 2 Low).
    int popupOutput() const { return popupOutput_; }

public slots:
    // Hides the three pop-ups; other features ask for it whenever their controls are used.
    void hidePopups();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Popup { GainPopup, DelayPopup, LimitPopup };

    void connectControls();
    void showToggle(QAbstractButton* button, int entry, bool redWhenOn);
    void toggle(int entry, std::string label);
    void openPopup(Popup which, QAbstractButton* clicked, int field);
    void greyFamily(Popup which);
    void hidePopup(Popup which);
    void releaseFocus(QWidget* leaving, QAbstractButton* backTo);
    void applyLimiter(int offset, const QComboBox* list);
    // A track bar's code to its entry: the bar's own moves and the wheel's
    // notches both come here, once per change.
    void applyBar(QSlider* bar, int code);
    void applyTrackBar(int field, int code, const char* what, const char* key);
    void bindWheelToBar(QSlider* bar);
    void showEdit(const ParameterEdit& edit);
    void showBridgeMode(int mode);
    void onFocusChanged(QWidget* old, QWidget* now);

    ParameterModel& model_;
    ParameterEditor& editor_;
    EditingContext& editing_;
    StripView view_;
    int popupOutput_ = 0;

    std::array<QWidget*, 3> popups_{};
    std::array<QAbstractButton*, 3> openers_{}; // the button that opened each pop-up last
    std::array<QAbstractButton*, 4> delayButtons_{}; // Main first, then the three outputs
};

} // namespace talvex
