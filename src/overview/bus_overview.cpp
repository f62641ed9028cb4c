#include "overview/bus_overview.h"

#include "link/frame.h"
#include "link/reply_handlers.h"
#include "ui/controls.h"
#include "ui/main_window_layout.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>

namespace talvex {

namespace {

constexpr char kTitle[] = "Amplifiers on the bus";
constexpr char kUsbPort[] = "USB";

enum Column { DeviceId, Port, Temperature, Attenuation, Preset, State, ColumnCount };


} // namespace

BusOverview::BusOverview(QMainWindow& window, QMenu& viewMenu, const Parts& parts) : parts_(parts)
{

    window_ = new QWidget(&window, Qt::Window);
    window_->setObjectName("wnd_bus_overview");
    window_->setWindowTitle(QString::fromLatin1(kTitle));
    window_->resize(780, 360);
    auto* layout = new QVBoxLayout(window_);
    note_ = new QLabel(window_);
    note_->setObjectName("lbl_bus_overview_note");
    note_->setWordWrap(true);
    table_ = new QTableWidget(0, ColumnCount, window_);
    table_->setObjectName("tbl_bus_overview");
    table_->setHorizontalHeaderLabels(
        {"Device ID", "Port", "Temperature", "Attenuation", "Preset", "State"});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents); // texts shown whole
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(note_);
    layout->addWidget(table_);
    window_->installEventFilter(this);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { chooseRow(row); });

    QAction* action = viewMenu.addAction(QString::fromLatin1(kTitle));
    action->setObjectName("act_bus_overview");
    connect(action, &QAction::triggered, this, &BusOverview::open);

    Session& s = parts_.session;
    // Each tick takes up polling again where it had stopped (after a transfer, a new device).
    connect(&s, &Session::sendPulseTicked, this, &BusOverview::pollNext);
    connect(&s, &Session::otherDeviceUnanswered, this, [this](int, int command) { pollEnded(command); });
    connect(&s, &Session::closing, this, [this] { meterPollOut_ = recordReadOut_ = false; });
    connect(&s, &Session::stateChanged, this, &BusOverview::stateChanged);
    connect(&s, &Session::portListChanged, this, &BusOverview::portListChanged);
    // The session's own device: its replies reach the session's handlers.
    connect(&s, &Session::metersArrived, this, [this](const replies::MeterReading& reading) {
        const int address = parts_.session.sessionDeviceAddress();
        // A Device ID assignment moves the session's device to its new ID.
        if (rows_.linkPort() && address != rows_.selectedAddress())
            rows_.linkOpened(*rows_.linkPort(), address, now());
        rows_.metersArrived(address, reading.step, reading.attenuation);
        showRows();
    });
    connect(&s, &Session::systemRecordArrived, this, [this](int) {
        rows_.systemRecordArrived(parts_.session.sessionDeviceAddress(), parts_.model.systemRecord[0],
                                  parts_.model.systemRecord[7]);
        showRows();
    });
    connect(&s, &Session::presetNamesArrived, this, [this] {
        rows_.presetNamesArrived(parts_.session.sessionDeviceAddress(), parts_.model.presetNames);
        showRows();
    });
    showRows();
}

BusOverview::~BusOverview() { setPolling(false); }

int BusOverview::now() { return QTime::currentTime().msecsSinceStartOfDay() / 1000; }

void BusOverview::open()
{
    refreshFound();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void BusOverview::refreshFound()
{
    rows_.addFound(parts_.found());
    showRows();
}

bool BusOverview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        setPolling(event->type() == QEvent::Show);
    return QObject::eventFilter(watched, event);
}

bool BusOverview::polling()
{
    Session& s = parts_.session;
    return window_->isVisible() && s.state() == Session::State::Connected && !s.usbCarries();
}

void BusOverview::setPolling(bool on)
{
    // With the window closed, nothing extra goes out and every reply is the session's.
    if (!on) {
        parts_.session.setOtherDeviceReplies({});
        return;
    }
    parts_.session.setOtherDeviceReplies([this](const frame::Reply& reply) { otherDeviceReplied(reply); });
}

void BusOverview::pollNext()
{
    if (!polling())
        return;
    Session& s = parts_.session;
    if (!meterPollOut_)
        if (const auto poll = rows_.nextPoll(now(), true))
            meterPollOut_ = s.pollOtherDevice(poll->address, poll->command);
    if (!recordReadOut_)
        if (const auto read = rows_.nextRecordRead())
            recordReadOut_ = s.pollOtherDevice(read->address, read->command);
    showRows();
}

void BusOverview::pollEnded(int command)
{
    (command == frame::kCmdMeters ? meterPollOut_ : recordReadOut_) = false;
    pollNext();
}

void BusOverview::otherDeviceReplied(const frame::Reply& reply)
{
    const int address = reply.address();
    const auto payload = reply.payload();
    switch (reply.command()) {
    case frame::kCmdMeters:
        if (const auto reading = replies::decodeMeter(payload))
            rows_.metersArrived(address, reading->step, reading->attenuation);
        break;
    case frame::kCmdReadSystemRecord:
        if (payload.size() >= frame::kSystemRecordSize)
            rows_.systemRecordArrived(address, payload[0], payload[7]);
        break;
    case frame::kCmdReadPresetNames:
        if (payload.size() >= frame::kPresetNamesSize) {
            overview::PresetNames names{};
            for (std::size_t n = 0; n < names.size(); ++n)
                std::copy_n(payload.begin() + std::ptrdiff_t(n * kPresetNameLength), kPresetNameLength,
                            names[n].begin());
            rows_.presetNamesArrived(address, names);
        }
        break;
    default:
        break; // a late reply of another kind: nothing of it is shown
    }
    pollEnded(reply.command());
}

std::string BusOverview::linkPortName()
{
    if (parts_.session.usbCarries())
        return kUsbPort;
    return parts_.selection.portName().toStdString();
}

void BusOverview::stateChanged(Session::State state)
{
    if (state == Session::State::Disconnected) {
        rows_.linkClosed(now());
    } else {
        // A connect, or another device chosen: from now on that device is the session's.
        rows_.linkOpened(linkPortName(), parts_.session.sessionDeviceAddress(), now());
        choiceNote_.clear();
    }
    if (window_->isVisible())
        setPolling(true); // polls start with the next send tick once connected
    showRows();
}

void BusOverview::portListChanged(const QStringList& names)
{
    for (const overview::DeviceRow& row : rows_.rows()) {
        const QString port = fromStd(row.port);
        if (row.port != kUsbPort && !names.contains(port))
            rows_.portGone(row.port, now());
    }
    showRows();
}

void BusOverview::chooseRow(int index)
{
    if (index < 0 || index >= int(rows_.rows().size()))
        return;
    const overview::DeviceRow row = rows_.rows()[std::size_t(index)];
    Session& s = parts_.session;
    if (s.usbCarries() || row.port == kUsbPort)
        return; // one device on USB
    if (parts_.transferRunning()) {
        parts_.prompts.message(QString::fromLatin1(kTransferRunningMessage));
        return;
    }
    const QString port = fromStd(row.port);
    if (s.state() == Session::State::Disconnected) {
        if (!parts_.selection.selectPort(port)) {
            showNote(port + QStringLiteral(" is no longer in the port list."));
            return;
        }
        parts_.selection.selectAddress(row.address);
        s.connectLink();
        return;
    }
    if (rows_.linkPort() != row.port) {
        showNote(QStringLiteral("Device ID %1 is on %2: disconnect first to reach it.").arg(row.address + 1).arg(port));
        return;
    }
    if (row.address == s.sessionDeviceAddress())
        return;
    parts_.selection.selectAddress(row.address);
    s.readSelectedDevice();
}

void BusOverview::showNote(const QString& text)
{
    choiceNote_ = text;
    showRows();
}

void BusOverview::showRows()
{
    const auto& rows = rows_.rows();
    table_->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const overview::DeviceRow& row = rows[std::size_t(r)];
        const QString texts[ColumnCount] = {
            QString::number(row.address + 1),
            fromStd(row.port),
            fromStd(overview::temperatureText(row)),
            fromStd(overview::attenuationText(row)),
            fromStd(overview::presetText(row)),
            fromStd(overview::stateText(row)),
        };
        const bool alarm = overview::temperatureAlarm(row);
        for (int c = 0; c < ColumnCount; ++c) {
            QTableWidgetItem* item = table_->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(r, c, item);
            }
            item->setText(texts[c]);
            item->setBackground(alarm ? QBrush(kStateRed) : QBrush());
            item->setForeground(alarm ? QBrush(Qt::white) : QBrush());
        }
    }

    const int alarms = rows_.alarmCount();
    QString title = QString::fromLatin1(kTitle);
    if (alarms > 0)
        title += QStringLiteral(" - %1 at or above the temperature threshold").arg(alarms);
    window_->setWindowTitle(title);

    QString note;
    Session& s = parts_.session;
    if (s.usbCarries() && s.state() != Session::State::Disconnected)
        note = QStringLiteral("USB reaches one amplifier: the bus overview needs a serial or network port.");
    else if (rows.empty())
        note = QStringLiteral("No devices yet: \"search device id\" lists the devices on each port.");
    else if (s.state() == Session::State::Disconnected)
        note = QStringLiteral("Not connected: the rows show what was last seen. Connect to poll a port.");
    else if (const auto& port = rows_.linkPort())
        note = QStringLiteral("Polling the devices on %1.").arg(fromStd(*port));
    if (!choiceNote_.isEmpty())
        note += u'\n' + choiceNote_;
    note_->setText(note);
}

} // namespace talvex
