#include "app/main_window.h"

#include "admin/bus_search.h"
#include "admin/device_admin.h"
#include "editing/channel_strip.h"
#include "editing/edit_history.h"
#include "editing/edit_step.h"
#include "editing/eq_page.h"
#include "editing/wheel_filter.h"
#include "model/value_tables.h"
#include "offline/offline_document.h"
#include "overview/bus_overview.h"
#include "presets/group_transfer.h"
#include "presets/preset_panel.h"
#include "tuning/tuning_panel.h"
#include "ui/controls.h"
#include "ui/icons.h"
#include "ui/pixel_ratio.h"
#include "ui/transfer_progress.h"
#include "ui/main_window_layout.h"
#include "ui/warning_dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace talvex {

MainWindow::MainWindow(EditorCore& core, const Platform& platform, QWidget* parent)
    : QMainWindow(parent), core_(core), session_(core.session), prompts_(*platform.prompts),
      views_(buildMainWindowLayout(*this)), selection_(views_.connection.portList, views_.connection.deviceIdList)
{
    if (!platform.fileDialogs)
        ownFileDialogs_ = std::make_unique<QtFileDialogs>(this);
    createFeatures(platform.fileDialogs ? *platform.fileDialogs : *ownFileDialogs_);
    connectFeatures();
    connectSession();
    startUp();
    warning_ = new WarningDialog(this);
}

MainWindow::~MainWindow()
{
    groupTransfer_->linkLost();
}

void MainWindow::createFeatures(FileDialogs& dialogs)
{
    const ConnectionView& connection = views_.connection;
    // The user's choices go into the session as they change; the Device ID
    // before the features see it, so a device chosen is read at its address.
    connect(connection.portList, &QComboBox::currentIndexChanged, this, &MainWindow::pushPortChoice);
    connect(connection.portList, &QComboBox::currentTextChanged, this, &MainWindow::pushPortChoice);
    connect(connection.deviceIdList, &QComboBox::currentIndexChanged, this, &MainWindow::pushDeviceChoice);
    pushPortChoice();
    pushDeviceChoice();
    progress_ = new TransferProgress(views_.status.transferPanel, views_.status.transferProgress,
                                     [this] { return session_.linkOpen(); }, core_.clock, this);
    strip_ = std::make_unique<ChannelStrip>(views_.strip, core_.editor, core_.editing);
    wheel_ = std::make_unique<WheelFilter>(this, core_.editing);
    eqPage_ = std::make_unique<EqPage>(views_.eqPage, core_.editor, core_.editing);
    history_ = std::make_unique<EditHistory>(core_.editor);
    history_->addMenuActions(*views_.menus.edit);
    busSearch_ = std::make_unique<BusSearch>(
        *this, views_.search, selection_,
        BusSearch::Link{session_, prompts_, core_.clock});
    deviceAdmin_ = std::make_unique<DeviceAdmin>(
        views_.admin, DeviceAdmin::Parts{core_.model, session_, prompts_, [this] { return groupTransfer_->busy(); }});

    const PresetsContext context{.model = &core_.model,
                                 .channel = &session_,
                                 .clock = &core_.clock,
                                 .prompts = &prompts_,
                                 .dialogs = &dialogs,
                                 .hidePopups = [this] { hidePopups(); }};
    groupTransfer_ = new GroupTransfer(context, views_.presets, this);
    presetPanel_ = new PresetPanel(context, *groupTransfer_, views_.presets, this);

    offline_ = new OfflineDocument(
        *this, *views_.menus.file,
        {core_.model, session_, prompts_, dialogs, [this] { showImage(); },
         [this](const groupfile::GroupImage& image) { return groupTransfer_->loadImage(image); }});
    busOverview_ = std::make_unique<BusOverview>(
        *this, *views_.menus.view,
        BusOverview::Parts{session_, core_.model, prompts_, [this] { return foundDevices(); },
                           [this] { return groupTransfer_->busy(); }, selection_});
    tuning_ = std::make_unique<TuningPanel>(
        *this, TuningPanel::Parts{core_.model, prompts_, dialogs,
                                  [this](const QString& label, const std::vector<ParameterEdit>& edits,
                                         std::function<void(bool)> onUndoRedo) {
                                      return applyAsOneStep(*history_, core_.editor, label, edits,
                                                            std::move(onUndoRedo));
                                  },
                                  [this](const ChannelOverlays* overlays) { eqPage_->graph().setOverlays(overlays); }});
    for (QObject* feature : std::initializer_list<QObject*>{strip_.get(), wheel_.get(), eqPage_.get(), history_.get(),
                                                            busSearch_.get(), deviceAdmin_.get(), busOverview_.get(),
                                                            tuning_.get()})
        feature->setParent(this);
}

void MainWindow::connectFeatures()
{
    // Once more after the features: a choice refused while a transfer runs is
    // put back, and the session keeps the one shown.
    connect(views_.connection.deviceIdList, &QComboBox::currentIndexChanged, this, &MainWindow::pushDeviceChoice);
    connect(views_.connection.connect, &QAbstractButton::clicked, this, &MainWindow::toggleConnection);
    connect(eqPage_.get(), &EqPage::hidePopupsRequested, this, &MainWindow::hidePopups);
    connect(busSearch_.get(), &BusSearch::hidePopupsRequested, this, &MainWindow::hidePopups);
    connect(busSearch_.get(), &BusSearch::hideTransferProgressRequested, &session_, &Session::hideProgress);
    connect(&session_, &Session::usbAmplifierWaiting, busSearch_.get(), &BusSearch::usbAmplifierWaiting);
    connect(busSearch_.get(), &BusSearch::portReleased, &session_, &Session::searchPortReleased);
    connect(busSearch_.get(), &BusSearch::portReleased, busOverview_.get(), &BusOverview::refreshFound);
    connect(deviceAdmin_.get(), &DeviceAdmin::hidePopupsRequested, this, &MainWindow::hidePopups);
    connect(deviceAdmin_.get(), &DeviceAdmin::deviceChosen, &session_, &Session::readSelectedDevice);
    connect(&core_.editor, &ParameterEditor::edited, offline_, &OfflineDocument::noteEdit);
    connect(offline_, &OfflineDocument::imageReplaced, history_.get(), &EditHistory::clear);

    // A search locks what it must not have changed under it; a file opened for
    // editing here unlocks the strip and the page.
    connect(busSearch_.get(), &BusSearch::lockChanged, this, [this](BusSearch::Lock lock) {
        showSearchLock(views_, lock != BusSearch::Lock::None, lock == BusSearch::Lock::EditingAndConnection);
    });
    connect(offline_, &OfflineDocument::editingUnlocked, this, [this] {
        showSearchLock(views_, false, !views_.connection.group->isEnabled());
    });
    connect(deviceAdmin_.get(), &DeviceAdmin::broadcastChanged, this,
            [this](bool on) { showBroadcastLock(views_, on); });
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
    connect(s, &Session::progressShown, progress_, &TransferProgress::show);
    connect(s, &Session::progressHidden, progress_, &TransferProgress::hide);
    connect(s, &Session::progressChanged, progress_, &TransferProgress::setPercent);
    connect(s, &Session::portListChanged, this, &MainWindow::fillPortList);
    connect(s, &Session::historyLineAdded, this, &MainWindow::addHistoryLine);
    connect(s, &Session::oldestHistoryLineDropped, this, [this] { delete views_.status.historyList->takeItem(0); });
    connect(s, &Session::usbStatusChanged, views_.status.usbStatus, &QLabel::setText);
    connect(s, &Session::selectorsEnabledChanged, this, [this](bool enabled) {
        views_.connection.portList->setEnabled(enabled);
        views_.connection.deviceIdList->setEnabled(enabled);
    });
    connect(s, &Session::deviceListChanged, this, [this](const QStringList& names) {
        views_.status.deviceList->clear();
        views_.status.deviceList->addItems(names);
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
    // The port list is read once the window shows (the reading walks the
    // system's device tree), then kept fresh.
    QMetaObject::invokeMethod(&session_, &Session::start, Qt::QueuedConnection);

    // The layout gives the window its fixed 747 x 735 outer size; centre it.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    resetEditingState();
    core_.model.writeDefaults();
    showImage();
    busSearch_->scheduleStartupSearch();
}

void MainWindow::openGroupFileAtStart(const QString& path, int group)
{
    // The start-up search would lock the file's controls while it runs.
    busSearch_->cancelStartupSearch();
    offline_->openFile(path, group);
}

void MainWindow::fillPortList(const QStringList& names)
{
    QComboBox* ports = views_.connection.portList;
    const QSignalBlocker block(ports);
    ports->clear();
    ports->addItems(names);
    ports->setCurrentIndex(int(names.size()) - 1);
    pushPortChoice();
}

void MainWindow::pushPortChoice()
{
    session_.choosePort(views_.connection.portList->currentIndex(), views_.connection.portList->currentText());
}

void MainWindow::pushDeviceChoice() { session_.chooseDeviceAddress(views_.connection.deviceIdList->currentIndex()); }

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
    views_.status.transferProgress->setValue(0);
}

void MainWindow::showConnected(bool connected)
{
    views_.connection.connect->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    setButtonColour(views_.connection.connect, connected ? kConnectedGreen : kStateRed);
    showDrawn(views_.connection.connectedImage, connected ? &icons::connected : &icons::disconnected);
}

void MainWindow::addHistoryLine(const QString& line)
{
    QListWidget* history = views_.status.historyList;
    history->addItem(line);
    history->setCurrentRow(history->count() - 1);
}

std::vector<overview::PortDevices> MainWindow::foundDevices() const
{
    std::vector<std::string> listed;
    const QComboBox* ports = views_.connection.portList;
    for (int i = 0; i < ports->count(); ++i)
        listed.push_back(ports->itemText(i).toStdString());
    const FoundTable& found = busSearch_->found();
    return overview::inListOrder(listed, found.ports(), [&found](const std::string& port) { return found.addresses(port); });
}

void MainWindow::hidePopups() { strip_->hidePopups(); }

void MainWindow::resetEditingState()
{
    core_.editing.reset();
    eqPage_->graph().resetDrag();
}

// --- what the session reads ------------------------------------------------

void MainWindow::showPresetNames()
{
    QComboBox* presets = views_.presets.loadList;
    for (int n = 0; n < int(kPresetLabelPrefixes.size()) && n < presets->count(); ++n)
        presets->setItemText(n, fromStd(replies::presetItemText(n, core_.model.presetNames[n])));
}

void MainWindow::showSystemRecord(int presetItem)
{
    for (QComboBox* list : {views_.presets.loadList, views_.presets.saveList})
        list->setCurrentIndex(presetItem < list->count() ? presetItem : -1);
    const int threshold = core_.model.systemRecord[7];
    QComboBox* thresholds = views_.admin.temperatureThreshold;
    thresholds->setCurrentIndex(threshold < thresholds->count() ? threshold : -1);
}

void MainWindow::onImageArrived(const frame::Reply& reply)
{
    // The device's image replaced the one edited here (a read-all, a preset or
    // a group load); a one-group save only reads it back. A save request left
    // over from a cancelled dialog does not make a read-all one.
    if (!groupTransfer_->oneGroupSaveRequested() || session_.state() != Session::State::Connected)
        history_->clear();
    showImage();
    groupTransfer_->currentGroupReceived(reply);
}

void MainWindow::showMeters(const replies::MeterReading& reading)
{
    views_.status.temperature->setText(fromStd(replies::temperatureText(reading.step)));
    views_.status.attenuation->setText(QString::number(reading.attenuation) + QStringLiteral(" dB"));
    for (std::size_t i = 0; i < views_.status.meters.size(); ++i)
        views_.status.meters[i]->setText(QString::number(reading.extra[i]));
}

void MainWindow::showImage()
{
    // Pop-ups, toggles, input gain and bridge mode, then the equaliser page of
    // Main; signals blocked: marks nothing, leaves the editing context alone.
    strip_->showImage();
    eqPage_->showImage();
}

} // namespace talvex
