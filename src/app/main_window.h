#pragma once
// The main window (TForm1): owns the parameter model, the link state, the codec,
// the reply receiver, both transports and every timer; runs start-up, connect
// and disconnect, the read-all chain, the watchdog, the progress panel, the reply
// handlers, the view refresh and the bridge menu.

#include "editing/editing_context.h"
#include "link/command_sender.h"
#include "link/device_monitor.h"
#include "link/hid_controller.h"
#include "link/link_state.h"
#include "link/reply_receiver.h"
#include "link/serial_link.h"
#include "link/transport_router.h"
#include "link/usb_hid_link.h"
#include "model/parameter_model.h"
#include "ui/prompts.h"
#include "ui/qt_event_pump.h"

#include <QMainWindow>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

#include <array>

class QAbstractButton;
class QAbstractSlider;
class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;

namespace talvex {

class GroupReplyHooks;

class TForm1 : public QMainWindow, public UsbHidHost {
    Q_OBJECT
public:
    static constexpr int kWatchdogLimit = 13;

    struct Platform {
        HidController* hid = nullptr; // required
        Prompts* prompts = nullptr;   // required
        QStringList extraPorts;       // --port paths
        SerialLink::Enumerator enumerator; // empty: the machine's ports
        DeviceMonitor* monitor = nullptr;  // null: the device lists are polled
    };

    explicit TForm1(const Platform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // Connect or disconnect, chosen by the connect button's caption.
    void btn_connectClick();
    void btn_s_closeClick();

    // Timer ticks.
    void tmr_bootTimer();
    void tmr_prgrsbrTimer();
    void tmr_disconnectTimer();
    void tmr_pulseframeTimer();
    void tmr_hidreconnectTimer();
    void tmr_reflashcomportTimer();
    void tmr_close_seachTimer();

    // Reply handlers, called by the dispatcher with the whole reply frame as hex text.
    void Ack_Rcv_version_proc(const std::string& text);
    void Ack_R_20_Username_proc(const std::string& text);
    void Ack_R_AllSysData_proc(const std::string& text);
    void Ack_RW_One_Group_proc(const std::string& text);
    void Ack_Rw_20_Group_proc(const std::string& text);
    void Ack_Meter_proc(const std::string& text);

    // Makes the controls show the parameter image.
    void UpdataToComponent();
    void rztrckbr_ingainChange();

    // Bridge menu.
    void NoBTL1Click();
    void Lowmidbridge1Click();
    void highmidbridge1Click();
    void LowmidBTLhighlow1Click();

    // Pause with message pumping.
    void Delay(int ms);

    // The group-file transfers plug in here; null means no transfer is waiting.
    void setGroupReplyHooks(GroupReplyHooks* hooks) { groupHooks_ = hooks; }

    ParameterModel& model() { return model_; }
    EditingContext& editing() { return editing_; }
    LinkState& link() { return link_; }
    CommandSender& sender() { return sender_; }
    ReplyReceiver& receiver() { return receiver_; }
    SerialLink& serial() { return serial_; }
    UsbHidLink& usb() { return usb_; }
    QDialog* warningDialog() const { return warning_; }
    bool probeReplied() const { return probeReplied_; }
    void clearProbeReplied() { probeReplied_ = false; }
    int progress() const { return progress_; }

    QTimer tmr_boot, tmr_prgrsbr, tmr_disconnect, tmr_pulseframe, tmr_hidreconnect, tmr_apply20grp,
        tmr_send20grp, tmr_reflashcomport, tmr_close_seach;

    // UsbHidHost.
    void addHistoryLine(const QString& line) override;
    void dropOldestHistoryLine() override;
    void setUsbHidLabel(const QString& text) override;
    void setSelectorsEnabled(bool enabled) override;
    void connectClick() override { btn_connectClick(); }
    void disconnectTick() override { tmr_disconnectTimer(); }
    void setReconnectTimerActive(bool active) override;
    void setConnectCaption(const QString& caption) override;
    void showDeviceList(const QStringList& names) override;

private:
    void FormCreate();
    void findControls();
    void setupTimers();
    void fillPortList(const QStringList& names);
    void connectLink();
    void disconnectLink();
    // The part of a disconnect that a lost link shares: pause, close, stop, clear.
    void closeLink();
    void resetEditingState();
    void hidePopups();
    void hideProgress();
    void showConnected(bool connected);
    bool hidPresent() const { return router_.usbActive(); }
    void applyBridgeMode(int mode);
    void applyBridgeModeItem(int mode);

    ParameterModel model_;
    EditingContext editing_;
    LinkState link_;
    CommandSender sender_;
    ReplyReceiver receiver_;
    QtEventPump pump_;
    SerialLink serial_;
    UsbHidLink usb_;
    TransportRouter router_;
    Prompts& prompts_;
    GroupReplyHooks* groupHooks_ = nullptr;

    int progress_ = 0;
    bool probeReplied_ = false;

    // Controls, looked up by name once.
    QAbstractButton* btn_connect_ = nullptr;
    QLabel* img_connectstate_ = nullptr;
    QPixmap connectedIcon_, disconnectedIcon_;
    QComboBox* cbb_comport_ = nullptr;
    QComboBox* cbb_deviceid_ = nullptr;
    QComboBox* cbb_load2dev_ = nullptr;
    QComboBox* cbb_save2dev_ = nullptr;
    QComboBox* cbb_TemperatureThr_ = nullptr;
    QLabel* lbl_temperature_ = nullptr;
    QLabel* lbl_attenuation_ = nullptr;
    std::array<QLineEdit*, 3> edtMeters_{};
    QWidget* rzgrpbx_data_tx_bar_ = nullptr;
    QProgressBar* rzprgrsbr_data_bar_ = nullptr;
    QWidget* rzgrpbx_sch_result_ = nullptr;
    std::array<QWidget*, 3> enableAfterSearch_{};
    std::array<QWidget*, 3> popups_{};
    QAbstractSlider* rztrckbr_ingain_ = nullptr;
    QLabel* lbl28_ = nullptr;
    std::array<QAbstractButton*, 3> muteButtons_{};
    std::array<QAbstractButton*, 3> polButtons_{};
    QAbstractButton* btn_op2_bassp_ = nullptr;
    QAbstractButton* btn_in0_pol_ = nullptr;
    std::array<std::array<QWidget*, 6>, 2> rowButtons_{}; // High and Mid rows
    QLabel* img2_ = nullptr;
    QLabel* img6_ = nullptr;
    std::array<QPixmap, 3> bridgeIcons_{}; // plain, fed from above, fed from below
    std::array<QAction*, 4> bridgeItems_{};
    QListWidget* HistoryListBox_ = nullptr;
    QListWidget* DevListBox_ = nullptr;
    QLabel* lbl_usbhid_ = nullptr;
    QDialog* warning_ = nullptr;
};

} // namespace talvex
