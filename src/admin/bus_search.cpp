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
#include <utility>

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

    using Repeat = Clock::Repeat;
    startupSearch_ = link_.clock.makeTimer("search start", 100, Repeat::Once, [this] { runStartupSearch(); });
    closeResult_ = link_.clock.makeTimer("search result close", 3000, Repeat::Once,
                                         [this] { closeStartupSearchResult(); });
    stepTimer_ = link_.clock.makeTimer("search step", 0, Repeat::Once, [this] { runStep(); });

    window.installEventFilter(this);
    view_.resultText->viewport()->installEventFilter(this);
}

BusSearch::~BusSearch()
{
    startupSearch_->stop();
    closeResult_->stop();
    stepTimer_->stop();
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
    startupSearch_->stop();
    if (!link_.session.usbCarries())
        startQuickSearch();
    // The result closes three seconds after the search has ended.
    startupRun_ = running_;
    if (!startupRun_)
        closeResult_->start();
}

void BusSearch::scheduleStartupSearch() { startupSearch_->start(); }

void BusSearch::cancelStartupSearch() { startupSearch_->stop(); }

void BusSearch::closeStartupSearchResult()
{
    closeResult_->stop();
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
    startupSearch_->stop(); // a start-up search not yet begun is not wanted any more
    if (!running_)
        return;
    // The connect owns the port now; only the search's own traces go.
    view_.progressPanel->hide();
    setGroupsEnabled(kind_, true);
    reset();
}

void BusSearch::usbAmplifierWaiting()
{
    if (!running_)
        return;
    stop_ = true;
    yielded_ = true;
}

void BusSearch::setGroupsEnabled(Kind kind, bool enabled)
{
    emit lockChanged(enabled ? Lock::None : kind == Kind::Full ? Lock::EditingAndConnection : Lock::Editing);
}

void BusSearch::runStep()
{
    if (const auto step = std::exchange(step_, nullptr))
        (this->*step)();
}

void BusSearch::after(int ms, void (BusSearch::*step)())
{
    step_ = step;
    stepTimer_->start(ms);
}

void BusSearch::run(Kind kind)
{
    if (running_)
        return; // one search at a time
    emit hidePopupsRequested();
    stop_ = false;
    Session& session = link_.session;
    const bool onUsb = session.usbMatched();
    if (kind == Kind::Quick && onUsb)
        return;
    if (session.linkInUse()) {
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
    items_ = session.portTable();
    if (kind == Kind::Quick && items_.empty())
        return; // nothing to search, nothing to show at start-up
    if (kind == Kind::Full)
        found_.clear();
    setGroupsEnabled(kind, false);

    kind_ = kind;
    running_ = true;
    yielded_ = false;
    addresses_ = kind == Kind::Full ? fullAddresses_ : kQuickAddresses;
    searched_.clear();
    for (const SerialPortItem& item : items_)
        searched_.push_back({item.name.toStdString(), {}});
    portsDone_ = 0;
    finished_ = true;
    nextPort();
}

void BusSearch::nextPort()
{
    probeAddress_ = -1;
    if (stop_ || portsDone_ >= int(items_.size())) {
        endRun();
        return;
    }
    ++portsDone_;
    if (link_.session.searchPortOpen()) {
        // The port before is closed, and the line rests a probe's time.
        link_.session.closeSearchPort(items_[items_.size() - std::size_t(portsDone_)].number);
        after(kProbeMs, &BusSearch::openPort);
        return;
    }
    openPort();
}

void BusSearch::openPort()
{
    if (stop_) {
        endRun();
        return;
    }
    const std::size_t at = items_.size() - std::size_t(portsDone_);
    // A port this user may not open is named in the result instead of
    // ending the search; a busy or missing port still ends it.
    if (const auto refusal = link_.session.portRefusal(items_[at].location)) {
        searched_[at].refusal = refusal->toStdString();
        finished_ = true;
        nextPort();
        return;
    }
    // A network gateway connects in the background; the window goes on meanwhile.
    link_.session.openSearchPort(items_[at], [this](bool opened) { portOpened(opened); });
}

void BusSearch::portOpened(bool opened)
{
    if (stop_) {
        endRun();
        return;
    }
    if (!opened) {
        portFailed();
        return;
    }
    finished_ = false;
    address_ = 0;
    // The first probe goes from the event loop, not from inside the port's opening.
    after(0, &BusSearch::probeNext);
}

void BusSearch::portFailed()
{
    emit hideTransferProgressRequested();
    view_.progressPanel->hide();
    link_.prompts.message(QStringLiteral("No port or in use."));
    link_.session.closeSearchPort(kPortFailed);
    // The groups stay disabled until the result panel is closed.
    reset();
    emit portReleased();
}

void BusSearch::probeNext()
{
    // Frames would go out over USB once that link has taken over.
    if (link_.session.usbCarries())
        stop_ = true;
    if (stop_) {
        nextPort(); // ends the run
        return;
    }
    probeReplied_ = false;
    probeAddress_ = address_;
    link_.session.probeAddress(address_);
    after(kProbeMs, &BusSearch::probeEnded);
}

void BusSearch::probeEnded()
{
    const std::size_t at = items_.size() - std::size_t(portsDone_);
    if (probeReplied_)
        found_.mark(searched_[at].name, address_);
    view_.progressPanel->show();
    view_.progressPanel->raise();
    const std::int64_t total = std::int64_t(items_.size()) * addresses_;
    view_.progress->setValue(int(100LL * ((portsDone_ - 1) * addresses_ + address_ + 1) / total));
    if (address_ == addresses_ - 1)
        finished_ = true;
    if (++address_ < addresses_)
        probeNext();
    else
        nextPort();
}

void BusSearch::endRun()
{
    probeAddress_ = -1;
    stepTimer_->stop();
    if (yielded_) {
        // The USB amplifier carries the link from now on: a partial bus result
        // would only mislead, and its selection would change the address the
        // USB frames carry.
        view_.progressPanel->hide();
        setGroupsEnabled(kind_, true);
        link_.session.closeSearchPort(kPortNone);
        reset();
        emit portReleased();
        return;
    }
    if (stop_ || finished_) {
        showResult(searched_, addresses_);
        if (kind_ == Kind::Quick) {
            if (const auto id = firstAnsweringId(searched_, found_, addresses_))
                selection_.selectAddress(*id - 1);
        }
        stop_ = false;
        // What is on its way leaves the line before the port closes.
        after(50, &BusSearch::closeAfterResult);
        return;
    }
    closeAfterResult();
}

void BusSearch::closeAfterResult()
{
    link_.session.closeSearchPort(kPortNone);
    reset();
    emit portReleased();
}

void BusSearch::reset()
{
    if (std::exchange(startupRun_, false))
        closeResult_->start();
    stepTimer_->stop();
    running_ = false;
    stop_ = false;
    yielded_ = false;
    probeAddress_ = -1;
}

void BusSearch::showResult(const std::vector<SearchedPort>& ports, int addresses)
{
    view_.resultText->setPlainText(QString::fromStdString(searchResultText(ports, found_, addresses)));
    view_.progressPanel->hide();
    view_.resultPanel->show();
    view_.resultPanel->raise();
}

} // namespace talvex
