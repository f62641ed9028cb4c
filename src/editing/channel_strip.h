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
struct ParameterModel;

class ChannelStrip : public QObject {
    Q_OBJECT
public:
    // `window` holds the layout (controls and the "Bridge Config" menu items).
    ChannelStrip(QWidget* window, ParameterModel& model, EditingContext& editing);
    ~ChannelStrip() override;

    // The strip's part of the view refresh: pop-ups hidden, toggles, input gain
    // and the bridge configuration shown as the image holds them.
    void refresh();

    // Toggles.
    void btn_op0_muteClick(QObject* sender);
    void btn_op0_polClick(QObject* sender);
    void btn_in0_polClick();
    void btn_op0_basspClick(QObject* sender);

    // Pop-ups.
    void btn_op0_gainClick(QObject* sender);
    void btn_op0_delayClick(QObject* sender);
    void btn_in0_delayClick();
    void btn_op0_limClick(QObject* sender);
    void btn_grpbx_gain_closeClick();
    void btn2Click();
    void btn3Click();
    void grpbx_gainExit();
    void grpbx_delayExit();
    void grpbx_limitExit();

    // Track bars and limiter lists.
    void rztrckbr_gainChange();
    void rztrckbr_ingainChange();
    void rztrckbr_delayChange();
    void cbb_lim_thrChange();
    void cbb_lim_attChange();
    void cbb_lim_relChange();
    void rztrckbrClick(QObject* sender);
    void rztrckbrExit(QObject* sender);

    // Bridge menu (also run by the refresh for bridge modes 0..3).
    void NoBTL1Click();
    void Lowmidbridge1Click();
    void highmidbridge1Click();
    void LowmidBTLhighlow1Click();

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
    void openPopup(Popup which, QAbstractButton* clicked, int field);
    void greyFamily(Popup which);
    void applyLimiter(int offset, const QComboBox* list);
    void markEdit(int chunk);
    void applyBridgeMode(int mode);
    void applyBridgeModeItem(int mode);
    void onFocusChanged(QWidget* old, QWidget* now);
    void stepTrackBar(const std::string& name, int step);

    ParameterModel& model_;
    EditingContext& editing_;
    int popupOutput_ = 0;

    QWidget* grp2_ = nullptr;
    std::array<QWidget*, 3> popups_{};
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
