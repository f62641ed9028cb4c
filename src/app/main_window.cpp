#include "app/main_window.h"

#include "editing/channel_strip.h"
#include "editing/eq_page.h"
#include "editing/wheel_filter.h"
#include "ui/main_window_layout.h"
#include "ui/icons.h"
#include "ui/pixel_ratio.h"
#include "ui/traffic_capture.h"
#include "ui/warning_dialog.h"
#include "link/frame.h"
#include "link/reply_handlers.h"
#include "model/value_tables.h"
#include "presets/group_transfer.h"
#include "presets/preset_panel.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace talvex {

namespace {

QString fromStd(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

} // namespace

TForm1::TForm1(const Platform& platform, QWidget* parent)
    : QMainWindow(parent),
      sender_(model_, link_),
      receiver_(link_),
      serial_(link_, receiver_),
      traffic_(platform.trafficLog ? std::make_unique<TrafficCapture>(*platform.trafficLog, *platform.hid) : nullptr),
      usb_(*platform.hid, link_, receiver_, *this),
      router_(link_, serial_, usb_),
      prompts_(*platform.prompts)
{
    if (platform.enumerator)
        serial_.setEnumerator(platform.enumerator);
    serial_.setExtraPorts(platform.extraPorts);
    if (!platform.hidLockDirectory.isEmpty())
        usb_.setLockDirectory(platform.hidLockDirectory);
    // Where a monitor reports devices coming and going, the lists are read only then.
    if (platform.monitor) {
        platform.hid->setPolling(false);
        serial_.setPortsMonitored(true);
        connect(platform.monitor, &DeviceMonitor::hidDevicesChanged, platform.hid,
                &HidController::devicesMayHaveChanged);
        connect(platform.monitor, &DeviceMonitor::serialPortsChanged, &serial_, &SerialLink::portsMayHaveChanged);
    }
    // Transport events go to the hidden traffic log only.
    connect(&serial_, &SerialLink::portFailed, this, [this](const QString& text) { usb_.AddToHistory(text); });
    if (traffic_)
        traffic_->attach(router_, receiver_, serial_, [this] { return cbb_comport_->currentText(); }, usb_);
    sender_.setTransport(traffic_ ? &traffic_->transport() : static_cast<FrameTransport*>(&router_));
    sender_.setSelectedAddress([this] { return cbb_deviceid_->currentIndex(); });

    receiver_.setHandler(frame::kCmdIdentification, [this](const std::string& text) { Ack_Rcv_version_proc(text); });
    receiver_.setHandler(frame::kCmdReadPresetNames, [this](const std::string& text) { Ack_R_20_Username_proc(text); });
    receiver_.setHandler(frame::kCmdReadSystemRecord, [this](const std::string& text) { Ack_R_AllSysData_proc(text); });
    receiver_.setHandler(frame::kCmdCurrentGroup, [this](const std::string& text) { Ack_RW_One_Group_proc(text); });
    receiver_.setHandler(frame::kCmdStoredGroup, [this](const std::string& text) { Ack_Rw_20_Group_proc(text); });
    receiver_.setHandler(frame::kCmdMeters, [this](const std::string& text) { Ack_Meter_proc(text); });

    buildMainWindowLayout(*this);
    strip_ = std::make_unique<ChannelStrip>(this, model_, editing_);
    wheel_ = std::make_unique<WheelFilter>(this, editing_, model_);
    eqPage_ = std::make_unique<EqPage>(centralWidget(), model_, editing_);
    connect(eqPage_.get(), &EqPage::hidePopupsRequested, this, &TForm1::hidePopups);
    findControls();
    setupTimers();
    busSearch_ = std::make_unique<BusSearch>(
        *this, BusSearch::Link{link_, serial_, sender_, receiver_, router_, pump_, prompts_});
    connect(busSearch_.get(), &BusSearch::hidePopupsRequested, this, &TForm1::hidePopups);
    connect(busSearch_.get(), &BusSearch::hideTransferProgressRequested, this, &TForm1::hideProgress);
    connect(&usb_, &UsbHidLink::amplifierWaiting, busSearch_.get(), &BusSearch::usbAmplifierWaiting);
    connect(busSearch_.get(), &BusSearch::portReleased, &usb_, &UsbHidLink::searchEnded);
    deviceAdmin_ = std::make_unique<DeviceAdmin>(
        *this, DeviceAdmin::Parts{model_, sender_, link_, editing_, prompts_});
    connect(deviceAdmin_.get(), &DeviceAdmin::hidePopupsRequested, this, &TForm1::hidePopups);
    if (!platform.fileDialogs)
        ownFileDialogs_ = std::make_unique<QtFileDialogs>(this);
    createPresets(platform.fileDialogs ? *platform.fileDialogs : *ownFileDialogs_);
    FormCreate();
    warning_ = new TForm4(this);
}

TForm1::~TForm1()
{
    // Stop the ticks before the members they use go away.
    for (QTimer* timer : {&tmr_prgrsbr, &tmr_disconnect, &tmr_pulseframe, &tmr_hidreconnect, &tmr_reflashcomport})
        timer->stop();
    groupTransfer_->linkLost();
    if (link_.connected && !link_.usbMode)
        serial_.close();
}

void TForm1::findControls()
{
    btn_connect_ = need<QAbstractButton>(this, "btn_connect");
    img_connectstate_ = need<QLabel>(this, "img_connectstate");
    cbb_comport_ = need<QComboBox>(this, "cbb_comport");
    cbb_deviceid_ = need<QComboBox>(this, "cbb_deviceid");
    cbb_load2dev_ = need<QComboBox>(this, "cbb_load2dev");
    cbb_save2dev_ = need<QComboBox>(this, "cbb_save2dev");
    cbb_TemperatureThr_ = need<QComboBox>(this, "cbb_TemperatureThr");
    lbl_temperature_ = need<QLabel>(this, "lbl_temperature");
    lbl_attenuation_ = need<QLabel>(this, "lbl_attenuation");
    edtMeters_ = {need<QLineEdit>(this, "edt1"), need<QLineEdit>(this, "edt2"), need<QLineEdit>(this, "edt3")};
    rzgrpbx_data_tx_bar_ = need<QWidget>(this, "rzgrpbx_data_tx_bar");
    rzprgrsbr_data_bar_ = need<QProgressBar>(this, "rzprgrsbr_data_bar");
    HistoryListBox_ = need<QListWidget>(this, "HistoryListBox");
    lbl_usbhid_ = need<QLabel>(this, "lbl_usbhid");
    DevListBox_ = need<QListWidget>(this, "DevListBox");

    connect(btn_connect_, &QAbstractButton::clicked, this, &TForm1::btn_connectClick);
}

void TForm1::setupTimers()
{
    struct TimerEntry {
        QTimer* timer;
        const char* name;
        int interval;
        void (TForm1::*tick)();
    };
    const TimerEntry timers[] = {
        {&tmr_prgrsbr, "tmr_prgrsbr", 200, &TForm1::tmr_prgrsbrTimer},
        {&tmr_disconnect, "tmr_disconnect", 250, &TForm1::tmr_disconnectTimer},
        {&tmr_pulseframe, "tmr_pulseframe", 350, &TForm1::tmr_pulseframeTimer},
        {&tmr_hidreconnect, "tmr_hidreconnect", 500, &TForm1::tmr_hidreconnectTimer},
        {&tmr_reflashcomport, "tmr_reflashcomport", 2000, &TForm1::tmr_reflashcomportTimer},
    };
    for (const TimerEntry& entry : timers) {
        entry.timer->setObjectName(QString::fromLatin1(entry.name));
        entry.timer->setInterval(entry.interval);
        entry.timer->setTimerType(Qt::PreciseTimer); // the intervals are exact, not rounded to the clock
        if (entry.tick)
            connect(entry.timer, &QTimer::timeout, this, entry.tick);
    }
    tmr_reflashcomport.start();
}

void TForm1::FormCreate()
{
    // Buttons in Arial ("Liberation Sans" stands in for it on Linux).
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        QFont font = button->font();
        font.setFamily(QStringLiteral("Arial"));
        button->setFont(font);
    }
    fillPortList(serial_.initialPortList());
    fillPortList(serial_.initialPortList());

    // The layout gives the window its fixed 747 x 735 outer size; centre it.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    resetEditingState();
    link_.noReplyCount = 0;
    model_.Init_value();
    model_.viewRefresh = true;
    UpdataToComponent();
    busSearch_->tmr_boot.start();
}

void TForm1::fillPortList(const QStringList& names)
{
    const QSignalBlocker block(cbb_comport_);
    cbb_comport_->clear();
    cbb_comport_->addItems(names);
    cbb_comport_->setCurrentIndex(int(names.size()) - 1);
}

// --- timers ---------------------------------------------------------------

void TForm1::tmr_prgrsbrTimer()
{
    if (!link_.connected)
        return;
    progress_ += 2;
    if (progress_ <= 99) {
        rzprgrsbr_data_bar_->setValue(progress_);
        return;
    }
    progress_ = 0;
    rzprgrsbr_data_bar_->setValue(0);
    tmr_prgrsbr.stop();
    rzgrpbx_data_tx_bar_->hide();
}

void TForm1::tmr_disconnectTimer()
{
    ++link_.noReplyCount;
    if (link_.noReplyCount < kWatchdogLimit)
        return;
    trafficEvent("lost");
    receiver_.clearReassembly();
    link_.matchedDevice = kNoMatchedDevice;
    tmr_disconnect.stop();
    closeLink();
    warning_->show();
}

void TForm1::tmr_pulseframeTimer() { sender_.sendSchedulerTick(); }

void TForm1::tmr_hidreconnectTimer() { usb_.tmr_hidreconnectTick(); }

void TForm1::tmr_reflashcomportTimer()
{
    if (link_.usbMode || link_.matchedDevice != kNoMatchedDevice)
        return;
    if (auto names = serial_.TmrGetCommport())
        fillPortList(*names);
}

// --- connection ------------------------------------------------------------

void TForm1::btn_connectClick()
{
    if (btn_connect_->text() == QLatin1String("Connect"))
        connectLink();
    else
        disconnectLink();
}

void TForm1::connectLink()
{
    busSearch_->linkTakenOver();
    hidePopups();
    sender_.readBackOverride = false;
    btn_s_closeClick();
    link_.noReplyCount = 0;
    warning_->close();

    rzgrpbx_data_tx_bar_->move(189, 205);
    rzprgrsbr_data_bar_->setValue(0);

    usb_.prepareConnect();
    if (!hidPresent()) {
        if (auto number = serial_.portNumber(cbb_comport_->currentIndex()))
            link_.currentPort = *number;
    }
    sender_.deviceAddress = cbb_deviceid_->currentIndex();

    if (serial_.isOpen())
        serial_.close();
    model_.clearPending();

    // The serial port is opened only when it is to carry the link: a present
    // HID device is the transport and leaves the port free for other programs.
    if (!hidPresent())
        serial_.open(link_.currentPort);

    if (hidPresent()) {
        link_.connected = true;
        link_.currentPort = kPortUsb;
    } else if (!link_.connected) {
        link_.currentPort = kPortFailed;
        trafficEvent("open failed");
        hideProgress();
        prompts_.message(QStringLiteral("No port or in use."));
        serial_.close();
        return;
    }

    trafficEvent("opened");
    rzgrpbx_data_tx_bar_->show();
    rzgrpbx_data_tx_bar_->raise();
    tmr_prgrsbr.start();
    progress_ = 0;

    serial_.startReader();

    receiver_.clear();
    sender_.clearTransmitText();
    tmr_disconnect.start();
    receiver_.clearReassembly();
    tmr_hidreconnect.start();
    usb_.versionConfirmed = false;

    sender_.Send_Readcmd_tomcu(0, frame::kCmdIdentification, 0);
    showConnected(true);
}

void TForm1::disconnectLink()
{
    hidePopups();
    tmr_disconnect.stop();
    trafficEvent("closed");
    closeLink();
}

void TForm1::closeLink()
{
    groupTransfer_->linkLost(); // a transfer ends with its link
    resetEditingState();
    link_.currentPort = kPortNone;
    Delay(50);
    serial_.close();
    link_.connected = false;
    usb_.sessionEnded();
    hideProgress();
    // A reply handled during the pause may have restarted the watchdog; it must
    // not survive the link it watched.
    tmr_pulseframe.stop();
    tmr_disconnect.stop();
    model_.clearPending();
    showConnected(false);
}

void TForm1::showConnected(bool connected)
{
    btn_connect_->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    setButtonColour(btn_connect_, connected ? kConnectedGreen : kStateRed);
    showDrawn(img_connectstate_, connected ? &icons::connected : &icons::disconnected);
}

void TForm1::btn_s_closeClick() { busSearch_->btn_s_closeClick(); }

void TForm1::hideProgress()
{
    rzgrpbx_data_tx_bar_->hide();
    tmr_prgrsbr.stop();
}

void TForm1::createPresets(FileDialogs& dialogs)
{
    PresetsContext context;
    context.model = &model_;
    context.sender = &sender_;
    context.link = &link_;
    context.prompts = &prompts_;
    context.dialogs = &dialogs;
    context.pulse = &tmr_pulseframe;
    context.watchdog = &tmr_disconnect;
    context.hidePopups = [this] { hidePopups(); };
    context.showProgress = [this](bool animate) {
        rzgrpbx_data_tx_bar_->show();
        rzgrpbx_data_tx_bar_->raise();
        rzprgrsbr_data_bar_->setValue(0);
        if (animate) {
            progress_ = 0;
            tmr_prgrsbr.start();
        }
    };
    context.hideProgress = [this] { hideProgress(); };
    context.setProgressBar = [this](int percent) { rzprgrsbr_data_bar_->setValue(percent); };
    context.delay = [this](int ms) { Delay(ms); };
    groupTransfer_ = new GroupTransfer(context, this);
    presetPanel_ = new PresetPanel(context, *groupTransfer_, this);
}

void TForm1::hidePopups() { strip_->hidePopups(); }

void TForm1::resetEditingState()
{
    editing_.reset();
    eqPage_->graph().resetDrag();
}

void TForm1::Delay(int ms) { talvex::Delay(pump_, ms); }

void TForm1::trafficEvent(std::string_view text)
{
    if (traffic_)
        traffic_->linkEvent(text);
}

// --- UsbHidHost ------------------------------------------------------------

void TForm1::addHistoryLine(const QString& line)
{
    HistoryListBox_->addItem(line);
    HistoryListBox_->setCurrentRow(HistoryListBox_->count() - 1);
}

void TForm1::dropOldestHistoryLine() { delete HistoryListBox_->takeItem(0); }

void TForm1::setUsbHidLabel(const QString& text) { lbl_usbhid_->setText(text); }

void TForm1::setSelectorsEnabled(bool enabled)
{
    cbb_comport_->setEnabled(enabled);
    cbb_deviceid_->setEnabled(enabled);
}

void TForm1::setReconnectTimerActive(bool active)
{
    if (active)
        tmr_hidreconnect.start();
    else
        tmr_hidreconnect.stop();
}

void TForm1::setConnectCaption(const QString& caption) { btn_connect_->setText(caption); }

void TForm1::showDeviceList(const QStringList& names)
{
    DevListBox_->clear();
    DevListBox_->addItems(names);
}

// --- reply handlers --------------------------------------------------------

void TForm1::Ack_Rcv_version_proc(const std::string& text)
{
    if (!replies::identificationMatches(text))
        return; // the watchdog ends the connection
    sender_.clearTransmitText();
    tmr_hidreconnect.stop();
    usb_.versionConfirmed = true;
    if (hidPresent() && !link_.connected) {
        warning_->close();
        btn_connectClick();
    }
    warning_->close();
    sender_.Send_Readcmd_tomcu(0, frame::kCmdReadPresetNames, 0);
}

void TForm1::Ack_R_20_Username_proc(const std::string& text)
{
    if (!replies::storePresetNames(text, model_))
        return;
    for (int n = 0; n < int(kPresetLabelPrefixes.size()) && n < cbb_load2dev_->count(); ++n) {
        const std::string shown = replies::presetDisplayName(model_.presetNames[n]);
        cbb_load2dev_->setItemText(n, QString::fromLatin1(kPresetLabelPrefixes[n]) + u':' + fromStd(shown));
    }
    sender_.clearTransmitText();
    sender_.Send_Readcmd_tomcu(0, frame::kCmdReadSystemRecord, 0);
}

void TForm1::Ack_R_AllSysData_proc(const std::string& text)
{
    const auto item = replies::storeSystemRecord(text, model_);
    if (!item)
        return;
    for (QComboBox* list : {cbb_load2dev_, cbb_save2dev_})
        list->setCurrentIndex(*item < list->count() ? *item : -1);
    const int threshold = model_.systemRecord[7];
    cbb_TemperatureThr_->setCurrentIndex(threshold < cbb_TemperatureThr_->count() ? threshold : -1);
    sender_.clearTransmitText();
    sender_.Send_Readcmd_tomcu(0, frame::kCmdCurrentGroup, 0);
}

void TForm1::Ack_RW_One_Group_proc(const std::string& text)
{
    if (!replies::storeGroup(text, model_))
        return;
    model_.viewRefresh = true;
    UpdataToComponent();
    model_.viewRefresh = false;

    groupTransfer_->currentGroupReceived(text.substr(0, replies::kGroupText));
    if (!link_.connected)
        return; // the link was lost while the save dialog was open

    hideProgress();
    tmr_pulseframe.start();
    tmr_disconnect.start();
    if (sender_.broadcast)
        sender_.deviceAddress = frame::kBroadcastAddress;
}

void TForm1::Ack_Rw_20_Group_proc(const std::string& text)
{
    if (text.size() < replies::kGroupText)
        return;
    groupTransfer_->storedGroupReceived(text.substr(0, replies::kGroupText));
}

void TForm1::Ack_Meter_proc(const std::string& text)
{
    busSearch_->meterReplied(text);
    const auto reading = replies::decodeMeter(text);
    if (!reading)
        return;
    lbl_temperature_->setText(fromStd(replies::temperatureText(reading->step)));
    lbl_attenuation_->setText(QString::number(reading->attenuation) + QStringLiteral(" dB"));
    for (int i = 0; i < 3; ++i)
        edtMeters_[i]->setText(QString::number(reading->extra[i]));
}

// --- view refresh ----------------------------------------------------------

void TForm1::UpdataToComponent()
{
    // Pop-ups, toggles, input gain and bridge mode, then the equaliser page of Main.
    strip_->refresh();
    eqPage_->btn_in0_eqClick();
}

} // namespace talvex
