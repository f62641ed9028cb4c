#pragma once
// The main window (TForm1): owns the parameter model, the link state, the codec,
// the reply receiver, both transports and every timer; runs start-up, connect
// and disconnect, the read-all chain, the watchdog, the progress panel, the reply
// handlers and the view refresh. The channel strip and the wheel are features it
// creates and wires.

#include "admin/bus_search.h"
#include "admin/device_admin.h"
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
#include "ui/file_dialogs.h"
#include "ui/prompts.h"
#include "ui/qt_event_pump.h"

#include <QMainWindow>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

#include <array>
#include <memory>
#include <string_view>

class QAbstractButton;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;

namespace talvex {

class ChannelStrip;
class EqPage;
class TrafficCapture;
class TrafficLog;
class WheelFilter;
class GroupTransfer;
class PresetPanel;

class TForm1 : public QMainWindow, public UsbHidHost {
    Q_OBJECT
public:
    static constexpr int kWatchdogLimit = 13;

    struct Platform {
        TrafficLog* trafficLog = nullptr; // --traffic-log, already open; null: no capture
        HidController* hid = nullptr; // required
        Prompts* prompts = nullptr;   // required
        FileDialogs* fileDialogs = nullptr; // null: QFileDialog over the window
        QStringList extraPorts;       // --port paths
        SerialLink::Enumerator enumerator; // empty: the machine's ports
        QString hidLockDirectory;     // empty: the system's temporary directory
        DeviceMonitor* monitor = nullptr;  // null: the device lists are polled
    };

    explicit TForm1(const Platform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // Connect or disconnect, chosen by the connect button's caption.
    void btn_connectClick();
    void btn_s_closeClick();

    // Timer ticks.
    void tmr_prgrsbrTimer();
    void tmr_disconnectTimer();
    void tmr_pulseframeTimer();
    void tmr_hidreconnectTimer();
    void tmr_reflashcomportTimer();

    // Reply handlers, called by the dispatcher with the whole reply frame as hex text.
    void Ack_Rcv_version_proc(const std::string& text);
    void Ack_R_20_Username_proc(const std::string& text);
    void Ack_R_AllSysData_proc(const std::string& text);
    void Ack_RW_One_Group_proc(const std::string& text);
    void Ack_Rw_20_Group_proc(const std::string& text);
    void Ack_Meter_proc(const std::string& text);

    // Makes the controls show the parameter image.
    void UpdataToComponent();

    // Pause with message pumping.
    void Delay(int ms);

    // Presets and group files.
    GroupTransfer& groupTransfer() { return *groupTransfer_; }
    PresetPanel& presetPanel() { return *presetPanel_; }

    ParameterModel& model() { return model_; }
    EditingContext& editing() { return editing_; }
    ChannelStrip& strip() { return *strip_; }
    EqPage& eqPage() { return *eqPage_; }
    LinkState& link() { return link_; }
    CommandSender& sender() { return sender_; }
    ReplyReceiver& receiver() { return receiver_; }
    SerialLink& serial() { return serial_; }
    UsbHidLink& usb() { return usb_; }
    QDialog* warningDialog() const { return warning_; }
    BusSearch& busSearch() { return *busSearch_; }
    DeviceAdmin& deviceAdmin() { return *deviceAdmin_; }
    int progress() const { return progress_; }

    QTimer tmr_prgrsbr, tmr_disconnect, tmr_pulseframe, tmr_hidreconnect, tmr_reflashcomport;

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
    void tellUser(const QString& text) override { prompts_.message(text); }

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
    void createPresets(FileDialogs& dialogs);
    void showConnected(bool connected);
    bool hidPresent() const { return router_.usbActive(); }
    void trafficEvent(std::string_view text);

    ParameterModel model_;
    EditingContext editing_;
    LinkState link_;
    CommandSender sender_;
    ReplyReceiver receiver_;
    QtEventPump pump_;
    SerialLink serial_;
    std::unique_ptr<TrafficCapture> traffic_; // before usb_: sees USB arrivals first
    UsbHidLink usb_;
    TransportRouter router_;
    Prompts& prompts_;
    std::unique_ptr<QtFileDialogs> ownFileDialogs_;
    GroupTransfer* groupTransfer_ = nullptr;
    PresetPanel* presetPanel_ = nullptr;

    int progress_ = 0;

    // Controls, looked up by name once.
    QAbstractButton* btn_connect_ = nullptr;
    QLabel* img_connectstate_ = nullptr;
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
    QListWidget* HistoryListBox_ = nullptr;
    QListWidget* DevListBox_ = nullptr;
    QLabel* lbl_usbhid_ = nullptr;
    QDialog* warning_ = nullptr;

    // Features; declared last so they go before the parts they use.
    std::unique_ptr<ChannelStrip> strip_;
    std::unique_ptr<WheelFilter> wheel_;
    std::unique_ptr<EqPage> eqPage_;
    std::unique_ptr<BusSearch> busSearch_;
    std::unique_ptr<DeviceAdmin> deviceAdmin_;
};

} // namespace talvex
