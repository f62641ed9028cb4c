#include "app/main_window.h"

#include "editing/channel_strip.h"
#include "editing/edit_history.h"
#include "editing/edit_step.h"
#include "editing/eq_page.h"
#include "editing/wheel_filter.h"
#include "model/value_tables.h"
#include "offline/offline_document.h"
#include "presets/group_transfer.h"
#include "presets/preset_panel.h"
#include "tuning/tuning_panel.h"
#include "ui/controls.h"
#include "ui/icons.h"
#include "ui/pixel_ratio.h"
#include "ui/main_window_layout.h"
#include "ui/warning_dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QScreen>

namespace talvex {

namespace {

Session::Platform sessionPlatform(Session::Platform platform, EventPump& pump)
{
    platform.pump = &pump;
    return platform;
}

} // namespace

MainWindow::MainWindow(const Platform& platform, QWidget* parent)
    : QMainWindow(parent), session_(model_, sessionPlatform(platform, pump_)), prompts_(*platform.prompts)
{
    buildMainWindowLayout(*this);
    strip_ = std::make_unique<ChannelStrip>(this, editor_, editing_);
    wheel_ = std::make_unique<WheelFilter>(this, editing_, model_);
    eqPage_ = std::make_unique<EqPage>(centralWidget(), editor_, editing_);
    connect(eqPage_.get(), &EqPage::hidePopupsRequested, this, &MainWindow::hidePopups);
    history_ = std::make_unique<EditHistory>(editor_);
    history_->addMenuActions(*this);
    findControls();
    session_.setSelection({[this] { return cbb_comport_->currentIndex(); },
                           [this] { return cbb_comport_->currentText(); },
                           [this] { return cbb_deviceid_->currentIndex(); }});
    busSearch_ = std::make_unique<BusSearch>(
        *this, BusSearch::Link{session_.link(), session_.serial(), session_.sender(), session_.receiver(),
                               session_.transport(), pump_, prompts_});
    connect(busSearch_.get(), &BusSearch::hidePopupsRequested, this, &MainWindow::hidePopups);
    connect(busSearch_.get(), &BusSearch::hideTransferProgressRequested, &session_, &Session::hideProgress);
    connect(&session_.usb(), &UsbHidLink::amplifierWaiting, busSearch_.get(), &BusSearch::usbAmplifierWaiting);
    connect(busSearch_.get(), &BusSearch::portReleased, &session_.usb(), &UsbHidLink::searchEnded);
    deviceAdmin_ = std::make_unique<DeviceAdmin>(
        *this, DeviceAdmin::Parts{model_, session_.sender(), session_.link(), prompts_,
                                  [this] { return groupTransfer_->busy(); }});
    connect(deviceAdmin_.get(), &DeviceAdmin::hidePopupsRequested, this, &MainWindow::hidePopups);
    connect(deviceAdmin_.get(), &DeviceAdmin::deviceChosen, &session_, &Session::readSelectedDevice);
    if (!platform.fileDialogs)
        ownFileDialogs_ = std::make_unique<QtFileDialogs>(this);
    FileDialogs& dialogs = platform.fileDialogs ? *platform.fileDialogs : *ownFileDialogs_;
    createPresets(dialogs);
    offline_ = new OfflineDocument(
        *this, {model_, session_, prompts_, dialogs, [this] { showImage(); },
                [this](const groupfile::GroupImage& image) { return groupTransfer_->loadImage(image); }});
    connect(&editor_, &ParameterEditor::edited, offline_, &OfflineDocument::noteEdit);
    connect(offline_, &OfflineDocument::imageReplaced, history_.get(), &EditHistory::clear);
    busOverview_ = std::make_unique<BusOverview>(
        *this, BusOverview::Parts{session_, model_, prompts_, [this] { return foundDevices(); },
                                  [this] { return groupTransfer_->busy(); }});
    connect(busSearch_.get(), &BusSearch::portReleased, busOverview_.get(), &BusOverview::refreshFound);
    tuning_ = std::make_unique<TuningPanel>(
        *this, TuningPanel::Parts{model_, prompts_, dialogs,
                                  [this](const QString& label, const std::vector<ParameterEdit>& edits,
                                         std::function<void(bool)> onUndoRedo) {
                                      return applyAsOneStep(*history_, editor_, label, edits, std::move(onUndoRedo));
                                  },
                                  [this](const ChannelOverlays* overlays) { eqPage_->graph().setOverlays(overlays); }});
    connectSession();
    startUp();
    warning_ = new WarningDialog(this);
}

MainWindow::~MainWindow() { groupTransfer_->linkLost(); }

void MainWindow::findControls()
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

    connect(btn_connect_, &QAbstractButton::clicked, this, &MainWindow::toggleConnection);
}

void MainWindow::connectSession()
{
    Session* s = &session_;
    connect(s, &Session::stateChanged, this,
            [this](Session::State state) { showConnected(state != Session::State::Disconnected); });
    connect(s, &Session::connecting, this, &MainWindow::onConnecting);
    connect(s, &Session::closing, this, [this] {
        groupTransfer_->linkLost(); // a transfer ends with its link
        resetEditingState();
    });
    connect(s, &Session::linkLost, this, [this] { warning_->show(); });
    connect(s, &Session::identified, this, [this] { warning_->close(); });
    connect(s, &Session::presetNamesArrived, this, &MainWindow::showPresetNames);
    connect(s, &Session::systemRecordArrived, this, &MainWindow::showSystemRecord);
    connect(s, &Session::imageArrived, this, &MainWindow::onImageArrived);
    connect(s, &Session::storedGroupArrived, this,
            [this](const frame::Reply& reply) { groupTransfer_->storedGroupReceived(reply); });
    connect(s, &Session::meterReplied, this, [this](const frame::Reply& reply) { busSearch_->meterReplied(reply); });
    connect(s, &Session::metersArrived, this, &MainWindow::showMeters);
    connect(s, &Session::progressVisibleChanged, this, &MainWindow::showProgressPanel);
    connect(s, &Session::progressChanged, rzprgrsbr_data_bar_, &QProgressBar::setValue);
    connect(s, &Session::portListChanged, this, &MainWindow::fillPortList);
    connect(s, &Session::historyLineAdded, this, &MainWindow::addHistoryLine);
    connect(s, &Session::oldestHistoryLineDropped, this, [this] { delete HistoryListBox_->takeItem(0); });
    connect(s, &Session::usbStatusChanged, lbl_usbhid_, &QLabel::setText);
    connect(s, &Session::selectorsEnabledChanged, this, [this](bool enabled) {
        cbb_comport_->setEnabled(enabled);
        cbb_deviceid_->setEnabled(enabled);
    });
    connect(s, &Session::deviceListChanged, this, [this](const QStringList& names) {
        DevListBox_->clear();
        DevListBox_->addItems(names);
    });
    connect(s, &Session::userMessage, this, [this](const QString& text) { prompts_.message(text); });
}

void MainWindow::startUp()
{
    // Buttons in Arial ("Liberation Sans" stands in for it on Linux).
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        QFont font = button->font();
        font.setFamily(QStringLiteral("Arial"));
        button->setFont(font);
    }
    session_.start(); // the port list, read once, and its refresh

    // The layout gives the window its fixed 747 x 735 outer size; centre it.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    resetEditingState();
    model_.writeDefaults();
    showImage();
    busSearch_->startupSearchTimer.start();
}

void MainWindow::fillPortList(const QStringList& names)
{
    const QSignalBlocker block(cbb_comport_);
    cbb_comport_->clear();
    cbb_comport_->addItems(names);
    cbb_comport_->setCurrentIndex(int(names.size()) - 1);
}

// --- connection ------------------------------------------------------------

void MainWindow::toggleConnection()
{
    if (session_.state() == Session::State::Disconnected) {
        if (offline_->isOpen())
            offline_->goLive(); // asks: send the file, or read the device
        else
            session_.connectLink();
        return;
    }
    hidePopups();
    session_.disconnectLink();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!offline_->mayClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::onConnecting()
{
    busSearch_->linkTakenOver();
    hidePopups();
    busSearch_->closeSearchResult();
    warning_->close();
    rzgrpbx_data_tx_bar_->move(189, 205);
    rzprgrsbr_data_bar_->setValue(0);
}

void MainWindow::showConnected(bool connected)
{
    btn_connect_->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    setButtonColour(btn_connect_, connected ? kConnectedGreen : kStateRed);
    showDrawn(img_connectstate_, connected ? &icons::connected : &icons::disconnected);
}

void MainWindow::showProgressPanel(bool visible)
{
    if (!visible) {
        rzgrpbx_data_tx_bar_->hide();
        return;
    }
    rzgrpbx_data_tx_bar_->show();
    rzgrpbx_data_tx_bar_->raise();
}

void MainWindow::addHistoryLine(const QString& line)
{
    HistoryListBox_->addItem(line);
    HistoryListBox_->setCurrentRow(HistoryListBox_->count() - 1);
}

std::vector<overview::PortDevices> MainWindow::foundDevices() const
{
    std::vector<std::string> listed;
    for (int i = 0; i < cbb_comport_->count(); ++i)
        listed.push_back(cbb_comport_->itemText(i).toStdString());
    const FoundTable& found = busSearch_->found();
    return overview::inListOrder(listed, found.ports(), [&found](const std::string& port) { return found.addresses(port); });
}

void MainWindow::createPresets(FileDialogs& dialogs)
{
    PresetsContext context;
    context.model = &model_;
    context.sender = &session_.sender();
    context.link = &session_.link();
    context.prompts = &prompts_;
    context.dialogs = &dialogs;
    context.supervision = &session_;
    context.hidePopups = [this] { hidePopups(); };
    context.showProgress = [this](bool animate) { session_.showProgress(animate); };
    context.hideProgress = [this] { session_.hideProgress(); };
    context.setProgressBar = [this](int percent) { session_.setProgress(percent); };
    context.delay = [this](int ms) { session_.pause(ms); };
    groupTransfer_ = new GroupTransfer(context, this);
    presetPanel_ = new PresetPanel(context, *groupTransfer_, this);
}

void MainWindow::hidePopups() { strip_->hidePopups(); }

void MainWindow::resetEditingState()
{
    editing_.reset();
    eqPage_->graph().resetDrag();
}

// --- what the session reads ------------------------------------------------

void MainWindow::showPresetNames()
{
    for (int n = 0; n < int(kPresetLabelPrefixes.size()) && n < cbb_load2dev_->count(); ++n)
        cbb_load2dev_->setItemText(n, fromStd(replies::presetItemText(n, model_.presetNames[n])));
}

void MainWindow::showSystemRecord(int presetItem)
{
    for (QComboBox* list : {cbb_load2dev_, cbb_save2dev_})
        list->setCurrentIndex(presetItem < list->count() ? presetItem : -1);
    const int threshold = model_.systemRecord[7];
    cbb_TemperatureThr_->setCurrentIndex(threshold < cbb_TemperatureThr_->count() ? threshold : -1);
}

void MainWindow::onImageArrived(const frame::Reply& reply)
{
    // The device's image replaced the one edited here (a read-all, a preset or
    // a group load); a one-group save only reads it back.
    if (!groupTransfer_->oneGroupSaveRequested())
        history_->clear();
    showImage();
    groupTransfer_->currentGroupReceived(reply);
}

void MainWindow::showMeters(const replies::MeterReading& reading)
{
    lbl_temperature_->setText(fromStd(replies::temperatureText(reading.step)));
    lbl_attenuation_->setText(QString::number(reading.attenuation) + QStringLiteral(" dB"));
    for (int i = 0; i < 3; ++i)
        edtMeters_[i]->setText(QString::number(reading.extra[i]));
}

void MainWindow::showImage()
{
    // Pop-ups, toggles, input gain and bridge mode, then the equaliser page of
    // Main; signals blocked: marks nothing, leaves the editing context alone.
    strip_->showImage();
    eqPage_->showImage();
}

} // namespace talvex
