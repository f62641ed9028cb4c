#include "admin/bus_search.h"

#include "link/frame.h"
#include "model/number_text.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QPushButton>
#include <QEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>
#include <QWidget>

#include <cstdint>

namespace talvex {

// --- result text ---------------------------------------------------------------

void FoundTable::mark(const std::string& port, int address)
{
    if (address >= 0 && address < 256)
        ports_[port].set(std::size_t(address));
}

bool FoundTable::answered(const std::string& port, int address) const
{
    const auto entry = ports_.find(port);
    return entry != ports_.end() && address >= 0 && address < 256 && entry->second.test(std::size_t(address));
}

std::vector<std::string> FoundTable::ports() const
{
    std::vector<std::string> names;
    for (const auto& [name, addresses] : ports_)
        if (addresses.any())
            names.push_back(name);
    return names;
}

std::vector<int> FoundTable::addresses(const std::string& port) const
{
    std::vector<int> found;
    for (int address = 0; address < 256; ++address)
        if (answered(port, address))
            found.push_back(address);
    return found;
}

std::string searchResultText(const std::vector<SearchedPort>& ports, const FoundTable& found, int probedAddresses)
{
    std::string text; // line 0 stays empty
    for (const SearchedPort& port : ports) {
        text += '\n';
        text += port.name;
        text += "--";
        if (!port.refusal.empty()) {
            text += "not searched: ";
            text += port.refusal;
            continue;
        }
        text += "Device ID:";
        for (int address = 0; address < probedAddresses; ++address) {
            if (found.answered(port.name, address))
                text += integerText(address + 1) + " , ";
        }
    }
    return text;
}

std::optional<int> firstAnsweringId(const std::vector<SearchedPort>& ports, const FoundTable& found,
                                    int probedAddresses)
{
    for (const SearchedPort& port : ports) {
        for (int address = 0; address < probedAddresses; ++address) {
            if (found.answered(port.name, address))
                return address + 1;
        }
    }
    return std::nullopt;
}

// --- the search --------------------------------------------------------------------

BusSearch::BusSearch(QWidget& window, const SearchView& view, DeviceSelection& selection, const Link& link)
    : link_(link), window_(window), view_(view), selection_(selection)
{
    connect(view_.search, &QAbstractButton::clicked, this, &BusSearch::startFullSearch);
    connect(view_.showResult, &QAbstractButton::clicked, this, &BusSearch::showSearchResult);
    connect(view_.cancel, &QAbstractButton::clicked, this, &BusSearch::stopSearch);
    connect(view_.resultClose, &QAbstractButton::clicked, this, &BusSearch::closeSearchResult);
    connect(view_.resultCross, &QAbstractButton::clicked, this, &BusSearch::closeSearchResult);

    startupSearchTimer.setObjectName(QStringLiteral("tmr_boot"));
    startupSearchTimer.setInterval(100);
    closeSearchResultTimer.setObjectName(QStringLiteral("tmr_close_seach"));
    closeSearchResultTimer.setInterval(3000);
    for (QTimer* timer : {&startupSearchTimer, &closeSearchResultTimer})
        timer->setTimerType(Qt::PreciseTimer);
    connect(&startupSearchTimer, &QTimer::timeout, this, &BusSearch::runStartupSearch);
    connect(&closeSearchResultTimer, &QTimer::timeout, this, &BusSearch::closeStartupSearchResult);

    window.installEventFilter(this);
    view_.resultText->viewport()->installEventFilter(this);
}

BusSearch::~BusSearch()
{
    startupSearchTimer.stop();
    closeSearchResultTimer.stop();
}

bool BusSearch::eventFilter(QObject* watched, QEvent* event)
{
    // Closing the window ends a running search the way its cancel button does,
    // so the port is closed before the program ends.
    if (watched == &window_ && event->type() == QEvent::Close && running_)
        stop_ = true;
    // The result text is selected and copied, never dragged out: a text drag
    // from it left its 1 x 1 drag window following the pointer after the drop.
    if (watched == view_.resultText->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const QPoint pressed = static_cast<QMouseEvent*>(event)->position().toPoint();
            const QTextCursor selection = view_.resultText->textCursor();
            const int at = view_.resultText->cursorForPosition(pressed).position();
            pressOnSelection_ = selection.hasSelection() && at >= selection.selectionStart() && at <= selection.selectionEnd();
        } else if (event->type() == QEvent::MouseMove && pressOnSelection_) {
            return (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton) != 0;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            pressOnSelection_ = false;
        }
    }
    return QObject::eventFilter(watched, event);
}

void BusSearch::startFullSearch() { run(Kind::Full); }

void BusSearch::startQuickSearch() { run(Kind::Quick); }

void BusSearch::stopSearch() { stop_ = true; }

void BusSearch::showSearchResult()
{
    emit hidePopupsRequested();
    view_.resultPanel->show();
    view_.resultPanel->raise();
}

void BusSearch::closeSearchResult()
{
    view_.resultPanel->hide();
    emit lockChanged(Lock::None);
}

void BusSearch::runStartupSearch()
{
    startupSearchTimer.stop();
    if (!link_.transport.usbActive())
        startQuickSearch();
    closeSearchResultTimer.start();
}

void BusSearch::closeStartupSearchResult()
{
    closeSearchResultTimer.stop();
    if (view_.resultPanel->isVisibleTo(&window_))
        view_.resultClose->click();
}

void BusSearch::meterReplied(const frame::Reply& reply)
{
    // Only the probed device's own answer counts: a late reply of the previous
    // address must not be credited to this one.
    if (probeAddress_ >= 0 && reply.address() == probeAddress_)
        probeReplied_ = true;
}

void BusSearch::linkTakenOver()
{
    startupSearchTimer.stop(); // a start-up search not yet begun is not wanted any more
    if (!running_)
        return;
    stop_ = true;
    takenOver_ = true;
}

void BusSearch::usbAmplifierWaiting()
{
    if (!running_)
        return;
    stop_ = true;
    yielded_ = true;
}

void BusSearch::pause(int ms) { Delay(link_.pump, ms); }

void BusSearch::setGroupsEnabled(Kind kind, bool enabled)
{
    emit lockChanged(enabled ? Lock::None : kind == Kind::Full ? Lock::EditingAndConnection : Lock::Editing);
}

void BusSearch::run(Kind kind)
{
    if (running_)
        return; // one search at a time
    emit hidePopupsRequested();
    stop_ = false;
    LinkState& state = link_.state;
    const bool onUsb = state.matchedDevice != kNoMatchedDevice && state.usbMode;
    if (kind == Kind::Quick && onUsb)
        return;
    if (state.connected || link_.serial.connecting()) {
        if (kind == Kind::Quick)
            return; // the start-up search gives way to a connect quietly
        link_.prompts.message(QStringLiteral("please disconnect and try again."));
        return;
    }
    if (onUsb) {
        link_.prompts.message(QStringLiteral("Current connection is USB, not a 485."));
        return;
    }

    // The list as it stands now; the port list refresh may replace it while
    // the search runs between two ports.
    const std::vector<SerialPortItem> items = link_.ports.table();
    if (kind == Kind::Quick && items.empty())
        return; // nothing to search, nothing to show at start-up
    if (kind == Kind::Full)
        found_.clear();
    setGroupsEnabled(kind, false);

    running_ = true;
    takenOver_ = false;
    yielded_ = false;
    const int addresses = kind == Kind::Full ? fullAddresses_ : kQuickAddresses;
    const int count = int(items.size());
    std::vector<SearchedPort> searched;
    for (const SerialPortItem& item : items)
        searched.push_back({item.name.toStdString(), {}});

    bool finished = true; // the last port's address loop reached its end (also with no ports)
    for (int q = 1; q <= count && !stop_; ++q) {
        const std::size_t at = std::size_t(count - q);
        const SerialPortItem& item = items[at];
        link_.pump.processEvents(0);
        if (stop_)
            break;
        state.currentPort = item.number;
        if (state.connected) {
            link_.serial.close();
            pause(kProbeMs);
            if (stop_)
                break;
        }
        // A port this user may not open is named in the result instead of
        // ending the search; a busy or missing port still ends it.
        if (const auto refusal = link_.ports.accessRefusal(item.location)) {
            searched[at].refusal = refusal->toStdString();
            finished = true;
            continue;
        }
        link_.serial.open(item.location);
        // A network gateway connects in the background; the search waits for
        // it with the window running, as it waits for a probe's reply.
        while (link_.serial.connecting() && !stop_)
            pause(kConnectPollMs);
        if (stop_)
            break;
        if (!link_.serial.isOpen()) {
            state.currentPort = kPortFailed;
            emit hideTransferProgressRequested();
            view_.progressPanel->hide();
            link_.prompts.message(QStringLiteral("No port or in use."));
            link_.serial.close();
            // The groups stay disabled until the result panel is closed.
            running_ = false;
            stop_ = false;
            yielded_ = false;
            emit portReleased();
            return;
        }
        link_.serial.startReader();
        if (stop_)
            break;

        finished = false;
        for (int address = 0; address < addresses; ++address) {
            link_.pump.processEvents(0);
            // Frames would go out over USB once that link has taken over.
            if (link_.transport.usbActive())
                stop_ = true;
            if (stop_)
                break;
            probeReplied_ = false;
            link_.receiver.clear();
            link_.sender.deviceAddress = address;
            probeAddress_ = address;
            link_.sender.sendRead(0, frame::kCmdMeters, 0);
            pause(kProbeMs);
            if (takenOver_)
                break;
            if (probeReplied_)
                found_.mark(searched[at].name, address);
            view_.progressPanel->show();
            view_.progressPanel->raise();
            view_.progress->setValue(
                int(100LL * ((q - 1) * addresses + address + 1) / (std::int64_t(count) * addresses)));
            if (address == addresses - 1)
                finished = true;
        }
        probeAddress_ = -1;
    }
    probeAddress_ = -1;

    if (takenOver_) {
        // The connect owns the port now; only the search's own traces go.
        view_.progressPanel->hide();
        setGroupsEnabled(kind, true);
        running_ = false;
        stop_ = false;
        takenOver_ = false;
        yielded_ = false;
        return;
    }
    if (yielded_) {
        // The USB amplifier carries the link from now on: a partial bus result
        // would only mislead, and its selection would change the address the
        // USB frames carry.
        view_.progressPanel->hide();
        setGroupsEnabled(kind, true);
        state.currentPort = kPortNone;
        link_.serial.close();
        state.connected = false;
        running_ = false;
        stop_ = false;
        yielded_ = false;
        emit portReleased();
        return;
    }
    if (stop_ || finished) {
        showResult(searched, addresses);
        if (kind == Kind::Quick) {
            if (const auto id = firstAnsweringId(searched, found_, addresses))
                selection_.selectAddress(*id - 1);
        }
        stop_ = false;
        state.currentPort = kPortNone;
        pause(50);
        if (!takenOver_) {
            link_.serial.close();
            state.connected = false;
        }
    }
    const bool released = !takenOver_ && !state.connected;
    running_ = false;
    stop_ = false;
    takenOver_ = false;
    yielded_ = false;
    if (released)
        emit portReleased();
}

void BusSearch::showResult(const std::vector<SearchedPort>& ports, int addresses)
{
    view_.resultText->setPlainText(QString::fromStdString(searchResultText(ports, found_, addresses)));
    view_.progressPanel->hide();
    view_.resultPanel->show();
    view_.resultPanel->raise();
}

} // namespace talvex
