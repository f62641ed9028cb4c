#pragma once
// The main window (MainWindow): owns the parameter model, the editing context and
// the session with the amplifier; shows the session's state, its progress,
// traffic log and replies; creates and wires the features (channel strip, wheel,
// equaliser page, undo history, presets, offline file, search, device
// administration, bus overview).

#include "admin/bus_search.h"
#include "admin/device_admin.h"
#include "editing/editing_context.h"
#include "editing/parameter_editor.h"
#include "model/parameter_model.h"
#include "overview/bus_overview.h"
#include "session/session.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"
#include "ui/qt_event_pump.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <memory>

class QAbstractButton;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;

namespace talvex {

class ChannelStrip;
class EditHistory;
class EqPage;
class WheelFilter;
class GroupTransfer;
class OfflineDocument;
class PresetPanel;
class TuningPanel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The session's platform (its pump is the window's own), the prompts and the file dialogs.
    struct Platform : Session::Platform {
        Prompts* prompts = nullptr;         // required
        FileDialogs* fileDialogs = nullptr; // null: QFileDialog over the window
    };

    explicit MainWindow(const Platform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The Connect button: connects when disconnected, otherwise disconnects.
    void toggleConnection(); // toggleConnection

    // Makes the controls show the parameter image.
    void showImage(); // showImage

    Session& session() { return session_; }
    GroupTransfer& groupTransfer() { return *groupTransfer_; }
    OfflineDocument& offlineDocument() { return *offline_; }
    PresetPanel& presetPanel() { return *presetPanel_; }
    ParameterModel& model() { return model_; }
    ParameterEditor& editor() { return editor_; }
    EditingContext& editing() { return editing_; }
    ChannelStrip& strip() { return *strip_; }
    EqPage& eqPage() { return *eqPage_; }
    EditHistory& history() { return *history_; }
    LinkState& link() { return session_.link(); }
    CommandSender& sender() { return session_.sender(); }
    ReplyReceiver& receiver() { return session_.receiver(); }
    SerialLink& serial() { return session_.serial(); }
    UsbHidLink& usb() { return session_.usb(); }
    QDialog* warningDialog() const { return warning_; }
    BusSearch& busSearch() { return *busSearch_; }
    DeviceAdmin& deviceAdmin() { return *deviceAdmin_; }
    BusOverview& busOverview() { return *busOverview_; }
    TuningPanel& tuning() { return *tuning_; }

protected:
    // Unsaved changes of an open group file are saved, discarded or kept open.
    void closeEvent(QCloseEvent* event) override;

private:
    void startUp(); // startUp
    void findControls();
    void connectSession();
    void fillPortList(const QStringList& names);
    void onConnecting();
    void onImageArrived(const frame::Reply& reply);
    void showPresetNames();
    void showSystemRecord(int presetItem);
    void showMeters(const replies::MeterReading& reading);
    void showProgressPanel(bool visible);
    void addHistoryLine(const QString& line);
    void resetEditingState();
    void hidePopups();
    void createPresets(FileDialogs& dialogs);
    void showConnected(bool connected);
    std::vector<overview::PortDevices> foundDevices() const;

    ParameterModel model_;
    ParameterEditor editor_{model_};
    EditingContext editing_;
    QtEventPump pump_;
    Session session_;
    Prompts& prompts_;
    std::unique_ptr<QtFileDialogs> ownFileDialogs_;
    GroupTransfer* groupTransfer_ = nullptr;
    PresetPanel* presetPanel_ = nullptr;
    OfflineDocument* offline_ = nullptr;

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
    std::unique_ptr<EditHistory> history_;
    std::unique_ptr<BusSearch> busSearch_;
    std::unique_ptr<DeviceAdmin> deviceAdmin_;
    std::unique_ptr<BusOverview> busOverview_;
    std::unique_ptr<TuningPanel> tuning_;
};

} // namespace talvex
