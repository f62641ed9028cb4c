#pragma once
// The channel strip (grp2) and its three pop-up editors: mute, polarity and
// recoup toggles, the gain, delay and limiter pop-ups, the Main input gain track
// bar and the bridge menu. Every handler edits the parameter image and marks the
// chunk it changed; the send scheduler does the writing.
//
// One handler serves a family of like buttons and takes the output channel from
// the seventh character of the sender's objectName (btn_op2_gain is Low's).

#include <QObject>
#include <QPixmap>

#include <array>
#include <string>

class QAbstractButton;
class QAbstractSlider;
class QAction;
class QComboBox;
class QLabel;
class QWidget;

namespace talvex {

class EditingContext;
class ParameterEditor;
struct ParameterEdit;
struct ParameterModel;

class ChannelStrip : public QObject {
    Q_OBJECT
public:
    // `window` holds the layout (controls and the "Bridge Config" menu items).
    // Edits reach the image through `editor`; the strip shows every applied edit
    // of its entries, whoever made it.
    ChannelStrip(QWidget* window, ParameterEditor& editor, EditingContext& editing);
    ~ChannelStrip() override;

    // The strip's part of showing the image: pop-ups hidden, toggles, input gain
    // and the bridge configuration shown as the image holds them, with the
    // controls' signals blocked. Marks nothing and leaves the editing context alone.
    void showImage();

    // Toggles (btn_op0_muteClick, btn_op0_polClick, btn_in0_polClick,
    // btn_op0_basspClick); output buttons take k from the sender's name.
    void toggleMute(QObject* sender);
    void togglePolarity(QObject* sender);
    void toggleMainPolarity();
    void toggleRecoup(QObject* sender);

    // Pop-ups (btn_op0_gainClick, btn_op0_delayClick, btn_in0_delayClick,
    // btn_op0_limClick; the "X" buttons btn_grpbx_gain_closeClick, btn2Click,
    // btn3Click; focus leaving grpbx_gainExit, grpbx_delayExit, grpbx_limitExit).
    void openGainPopup(QObject* sender);
    void openDelayPopup(QObject* sender);
    void openMainDelayPopup();
    void openLimiterPopup(QObject* sender);
    void closeGainPopup();
    void closeDelayPopup();
    void closeLimiterPopup();
    void gainPopupLeft();
    void delayPopupLeft();
    void limiterPopupLeft();

    // Track bars and limiter lists (rztrckbr_gainChange, rztrckbr_ingainChange,
    // rztrckbr_delayChange, cbb_lim_thrChange, cbb_lim_attChange,
    // cbb_lim_relChange; rztrckbrClick binds the wheel, rztrckbrExit unbinds).
    void gainMoved();
    void mainGainMoved();
    void delayMoved();
    void chooseLimiterThreshold();
    void chooseLimiterAttack();
    void chooseLimiterRelease();
    void trackBarPressed(QObject* sender);
    void trackBarLeft(QObject* sender);

    // Bridge menu: mode 0 "No BTL" (NoBTL1Click), 1 "Low-mid BTL"
    // (Lowmidbridge1Click), 2 "high-mid BTL" (highmidbridge1Click), 3 "Low-mid
    // BTL high=low" (LowmidBTLhighlow1Click).
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

    void findControls(QWidget* window);
    void connectControls();
    void showToggle(QAbstractButton* button, int entry, bool redWhenOn);
    void toggle(int entry, std::string label);
    void openPopup(Popup which, QAbstractButton* clicked, int field);
    void greyFamily(Popup which);
    void hidePopup(Popup which);
    void releaseFocus(QWidget* leaving, QAbstractButton* backTo);
    void applyLimiter(int offset, const QComboBox* list);
    void applyTrackBar(int field, int code, const std::string& key);
    void showEdit(const ParameterEdit& edit);
    void showBridgeMode(int mode);
    void onFocusChanged(QWidget* old, QWidget* now);
    void stepTrackBar(const std::string& name, int step);

    ParameterModel& model_;
    ParameterEditor& editor_;
    EditingContext& editing_;
    int popupOutput_ = 0;

    QWidget* grp2_ = nullptr;
    std::array<QWidget*, 3> popups_{};
    std::array<QAbstractButton*, 3> openers_{}; // the button that opened each pop-up last
    std::array<QAbstractButton*, 3> muteButtons_{};
    std::array<QAbstractButton*, 3> polButtons_{};
    std::array<QAbstractButton*, 3> gainButtons_{};
    std::array<QAbstractButton*, 4> delayButtons_{}; // Main first, then the three outputs
    std::array<QAbstractButton*, 3> limitButtons_{};
    QAbstractButton* btn_in0_pol_ = nullptr;
    QAbstractButton* btn_op2_bassp_ = nullptr;
    std::array<QAbstractButton*, 3> closeButtons_{};
    QAbstractSlider* rztrckbr_gain_ = nullptr;
    QAbstractSlider* rztrckbr_delay_ = nullptr;
    QAbstractSlider* rztrckbr_ingain_ = nullptr;
    QLabel* albl1_ = nullptr;
    QLabel* albl2_ = nullptr;
    QLabel* lbl28_ = nullptr;
    QComboBox* cbb_lim_thr_ = nullptr;
    QComboBox* cbb_lim_att_ = nullptr;
    QComboBox* cbb_lim_rel_ = nullptr;
    std::array<std::array<QWidget*, 6>, 2> rowButtons_{}; // High and Mid rows
    QLabel* img2_ = nullptr;
    QLabel* img6_ = nullptr;
    std::array<QAction*, 4> bridgeItems_{};
};

} // namespace talvex
