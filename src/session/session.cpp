#include "session/session.h"

#include "link/frame.h"
#include "session/traffic_capture.h"

#include <utility>

namespace talvex {

Session::Session(ParameterModel& model, const Platform& platform, QObject* parent)
    : QObject(parent),
      SenderChannel(sender_, link_, platform.clock ? *platform.clock : Clock::eventLoop()),
      model_(model),
      sender_(model_, link_),
      serial_(receiver_),
      traffic_(platform.trafficLog ? std::make_unique<TrafficCapture>(*platform.trafficLog, *platform.hid) : nullptr),
      usb_(*platform.hid, link_),
      router_(serial_, usb_),
      clock_(platform.clock ? *platform.clock : Clock::eventLoop())
{
    connect(this, &Session::closing, this, [this] { cancelPauses(); }); // a pause ends with its link
    if (platform.enumerator)
        ports_.setEnumerator(platform.enumerator);
    ports_.setExtraPorts(platform.extraPorts);
    if (platform.accessCheck)
        ports_.setAccessCheck(platform.accessCheck);
    if (!platform.hidLockDirectory.isEmpty())
        usb_.setLockDirectory(platform.hidLockDirectory);
    // Where a monitor reports devices coming and going, the lists are read only then.
    if (platform.monitor) {
        platform.hid->setPolling(false);
        ports_.setMonitored(true);
        connect(platform.monitor, &DeviceMonitor::hidDevicesChanged, platform.hid,
                &HidController::devicesMayHaveChanged);
        connect(platform.monitor, &DeviceMonitor::serialPortsChanged, this, [this] { ports_.portsMayHaveChanged(); });
    }
    // Transport events go to the hidden traffic log only.
    connect(&serial_, &SerialLink::portFailed, &usb_, &UsbHidLink::addHistoryLine);
    connect(&serial_, &SerialLink::opened, this, &Session::busOpened);
    connect(&serial_, &SerialLink::openFailed, this, &Session::busOpenFailed);
    connect(&serial_, &SerialLink::closed, this, [this] {
        if (link_ == LinkState::Bus)
            link_ = LinkState::Closed;
    });
    connect(&serial_, &SerialLink::requestUnanswered, this, &Session::requestUnanswered);
    connect(&serial_, &SerialLink::lateReply, this, &Session::lateReply);
    receiver_.setOwnFrameObserver([this] {
        noReplyCount_ = 0;
        busWatchdog_.replied();
    });
    if (traffic_)
        traffic_->attach(router_, receiver_, serial_, [this] { return chosenPortName_; }, usb_);
    sender_.setTransport(traffic_ ? &traffic_->transport() : static_cast<FrameTransport*>(&router_));

    // While the link closes, replies would only start the next read of a chain.
    const std::pair<std::uint8_t, void (Session::*)(const frame::Reply&)> handlers[] = {
        {frame::kCmdIdentification, &Session::onIdentification}, {frame::kCmdReadPresetNames, &Session::onPresetNames},
        {frame::kCmdReadSystemRecord, &Session::onSystemRecord}, {frame::kCmdCurrentGroup, &Session::onCurrentGroup},
        {frame::kCmdStoredGroup, &Session::onStoredGroup},       {frame::kCmdMeters, &Session::onMeters},
    };
    for (const auto& [command, handler] : handlers) {
        receiver_.setHandler(command, [this, handler](const frame::Reply& reply) {
            if (!closing_)
                (this->*handler)(reply);
        });
    }

    connect(&usb_, &UsbHidLink::bytesReceived, this, [this](const QByteArray& frame) {
        receiver_.receiveFrame(byteSpan(frame));
    });
    sender_.setBroadcastWriteObserver([this] { noReplyCount_ = 0; });
    connect(&usb_, &UsbHidLink::historyLineAdded, this, &Session::historyLineAdded);
    connect(&usb_, &UsbHidLink::oldestHistoryLineDropped, this, &Session::oldestHistoryLineDropped);
    connect(&usb_, &UsbHidLink::statusChanged, this, &Session::usbStatusChanged);
    connect(&usb_, &UsbHidLink::selectorsEnabledChanged, this, &Session::selectorsEnabledChanged);
    connect(&usb_, &UsbHidLink::deviceListChanged, this, &Session::deviceListChanged);
    connect(&usb_, &UsbHidLink::amplifierWaiting, this, &Session::usbAmplifierWaiting);
    connect(&usb_, &UsbHidLink::userMessage, this, &Session::userMessage);
    connect(&usb_, &UsbHidLink::connectionWanted, this, &Session::connectWanted);
    connect(&usb_, &UsbHidLink::carrierRemoved, this, &Session::loseLink);
    setupTimers();
}

Session::~Session()
{
    // Stop the ticks before the members they use go away.
    for (Timer* timer : {watchdog_.get(), sendPulse_.get(), usbRetry_.get(), portListRefresh_.get(),
                         portClose_.get(), deviceChange_.get()})
        timer->stop();
    closePort();
    if (link_ == LinkState::Bus)
        serial_.close();
}

void Session::setupTimers()
{
    using Repeat = Clock::Repeat;
    watchdog_ = clock_.makeTimer("watchdog", 250, Repeat::Every, [this] { watchdogTick(); });
    sendPulse_ = clock_.makeTimer("send pulse", kSendPulseMs, Repeat::Every, [this] { sendTick(); });
    usbRetry_ = clock_.makeTimer("USB retry", 500, Repeat::Every, [this] { usbRetryTick(); });
    portListRefresh_ = clock_.makeTimer("port list", 2000, Repeat::Every, [this] { portListTick(); });
    portClose_ = clock_.makeTimer("port close", 50, Repeat::Once, [this] { closePort(); });
    deviceChange_ = clock_.makeTimer("device change", kSendPulseMs, Repeat::Once, [this] { drainEditsThenRead(); });
}

void Session::choosePort(int itemIndex, const QString& name)
{
    chosenPortItem_ = itemIndex;
    chosenPortName_ = name;
}

void Session::chooseDeviceAddress(int address)
{
    chosenAddress_ = address;
    sender_.setSelectedAddress(address); // meters and read-backs go to the chosen device at once
}

void Session::start()
{
    if (std::exchange(started_, true))
        return;
    emit portListChanged(ports_.readAtStart());
    portListRefresh_->start();
}

void Session::setState(State state)
{
    if (state == state_)
        return;
    state_ = state;
    emit stateChanged(state);
}

int Session::sessionDeviceAddress() const
{
    return sender_.broadcast ? chosenAddress_ : sender_.deviceAddress;
}

void Session::setOtherDeviceReplies(ReplyReceiver::Handler handler)
{
    if (!handler) {
        receiver_.setOtherDeviceHandler({}, {});
        return;
    }
    // Only while a session is open on the bus: a search probes every address
    // with the link closed, and over USB there is one device.
    receiver_.setOtherDeviceHandler([this](std::uint8_t address) { return isOtherBusDevice(address); },
                                    std::move(handler));
}

bool Session::isOtherBusDevice(int address) const
{
    return state_ != State::Disconnected && !usbCarries() && address != sessionDeviceAddress();
}

bool Session::pollOtherDevice(int address, int command)
{
    if (closing_ || !isOtherBusDevice(address) || link_ != LinkState::Bus || !serial_.isOpen())
        return false;
    // The preset names hold the bus longer than the room between two ticks.
    sender_.sendReadTo(address, 0, command, 0,
                       command == frame::kCmdReadPresetNames ? BusPriority::Background : BusPriority::Poll);
    return true;
}

void Session::requestUnanswered(int address, int command, bool poll)
{
    if (poll)
        emit otherDeviceUnanswered(address, command);
    else
        busWatchdog_.requestUnanswered();
}

void Session::stopSendPulse()
{
    sendPulse_->stop();
    serial_.reserveIn(std::nullopt);
}

void Session::startSendPulse()
{
    sendPulse_->start();
    serial_.reserveIn(kSendPulseMs);
}

void Session::sendTick()
{
    sender_.sendNextChunkOrMeterRead();
    // Reads of other devices fit in before the next tick.
    serial_.reserveIn(kSendPulseMs);
    emit sendPulseTicked();
}

// --- timers ---------------------------------------------------------------

void Session::watchdogTick()
{
    // A bus port that an error has closed sends nothing: every silent tick counts, as over USB.
    if (usbCarries() || !serial_.isOpen()) {
        ++noReplyCount_;
        if (noReplyCount_ < kWatchdogLimit)
            return;
    } else {
        // A request still waiting for the bus is not a silent device.
        const bool lost = busWatchdog_.tick();
        if (!lost)
            return;
    }
    loseLink();
}

void Session::usbRetryTick()
{
    usbRetry_->stop();
    if (!usb_.retryDue())
        return;
    noReplyCount_ = 0;
    busWatchdog_.reset();
    usbRetry_->start();
    port_ = kPortNone;
    connectLink(); // the handshake once more, on the link that is open
}

void Session::portListTick()
{
    // While connected the list stays as it is.
    if (link_ != LinkState::Closed || usb_.holdsMatch())
        return;
    if (auto names = ports_.refresh())
        emit portListChanged(*names);
}

// --- progress --------------------------------------------------------------

void Session::showProgress(bool animate) { emit progressShown(animate); }

void Session::hideProgress() { emit progressHidden(); }

void Session::setProgress(int percent) { emit progressChanged(percent); }

// --- connection ------------------------------------------------------------

void Session::connectWanted()
{
    // A USB amplifier that arrives while a gateway is still connecting carries
    // the link, as it would at any connect; an open offline file holds it back.
    if ((state_ == State::Disconnected && !automaticConnectHeld_) || awaitingOpen_)
        connectLink();
}

void Session::connectLink()
{
    closePort(); // a port the last session still holds is taken now
    searchOpened_ = {}; // a search's gateway connection is dropped with its port
    emit connecting();
    sender_.readBackOverride = false;
    noReplyCount_ = 0;
    busWatchdog_.reset();

    usb_.open(QString()); // carries the link when it holds the amplifier; the bus port otherwise
    if (!usbCarries()) {
        if (auto number = ports_.portNumber(chosenPortItem_))
            port_ = *number;
    }
    sender_.deviceAddress = chosenAddress_;

    awaitingOpen_ = false;
    if (portHeld())
        serial_.close();
    model_.clearPending();

    if (usbCarries()) {
        link_ = LinkState::Usb;
        port_ = kPortUsb;
        linkOpened();
        return;
    }
    // The serial port is opened only when it is to carry the link: a present
    // HID device is the transport and leaves the port free for other programs.
    const auto location = ports_.location(port_);
    if (!location) {
        openFailed();
        return;
    }
    awaitingOpen_ = true;
    serial_.open(*location); // a serial port has opened or failed on return
    if (awaitingOpen_) {
        // A network gateway: the window goes on while the connection is made,
        // and the read-all chain starts once it is.
        showProgress(false);
        setState(State::Connecting);
    }
}

void Session::openSearchPort(const SerialPortItem& item, std::function<void(bool opened)> done)
{
    closePort();
    port_ = item.number;
    // A serial port has opened or failed when open() returns; a gateway
    // connects in the background while the window goes on.
    searchOpened_ = std::move(done);
    serial_.open(item.location);
}

void Session::probeAddress(int address)
{
    receiver_.clear();
    sender_.deviceAddress = address;
    sender_.sendRead(0, frame::kCmdMeters, 0);
}

void Session::closeSearchPort(int port)
{
    searchOpened_ = {};
    port_ = port;
    serial_.close();
    link_ = LinkState::Closed;
}

void Session::busOpened()
{
    link_ = LinkState::Bus; // also for a search's port: the frames may go
    if (auto done = std::exchange(searchOpened_, {})) {
        startReader();
        done(true);
        return;
    }
    if (std::exchange(awaitingOpen_, false))
        linkOpened();
}

void Session::busOpenFailed()
{
    if (auto done = std::exchange(searchOpened_, {})) {
        done(false);
        return;
    }
    if (std::exchange(awaitingOpen_, false))
        openFailed(); // not a search's port, nor one the user has given up
}

void Session::openFailed()
{
    port_ = kPortFailed;
    trafficEvent("open failed");
    hideProgress();
    setState(State::Disconnected);
    emit userMessage(QStringLiteral("No port or in use."));
    serial_.close();
}

void Session::startReader()
{
    // A matched USB amplifier carries the replies; the serial port's are not read then.
    if (!usb_.holdsMatch())
        serial_.startReader();
}

void Session::linkOpened()
{
    trafficEvent("opened");
    showProgress(true);

    startReader();

    receiver_.clear();
    usbRetry_->start();
    usb_.versionConfirmed = false;
    startReadAll();
}

void Session::startReadAll()
{
    usb_.resetReports();
    watchdog_->start();
    sender_.sendRead(0, frame::kCmdIdentification, 0);
    setState(State::Connecting);
}

void Session::readSelectedDevice()
{
    if (closing_ || state_ == State::Disconnected || link_ == LinkState::Closed)
        return;
    if (deviceChange_->isActive())
        return; // the edits still going out are followed by a read of the device chosen then
    stopSendPulse();
    if (usbCarries()) {
        drainEditsThenRead();
        return;
    }
    // The bus takes them in order, each after the one before has left the
    // line, ahead of the new device's reads.
    for (int chunk = model_.lowestPending(); chunk >= 0; chunk = model_.lowestPending()) {
        sender_.sendChunk(chunk);
        model_.pending[std::size_t(chunk)] = false;
    }
    readChosenDevice();
}

void Session::drainEditsThenRead()
{
    if (closing_ || link_ == LinkState::Closed)
        return; // lost while the last edits went out
    if (model_.lowestPending() < 0) {
        readChosenDevice();
        return;
    }
    sender_.sendNextChunkOrMeterRead();
    deviceChange_->start();
}

void Session::readChosenDevice()
{
    emit connecting();
    trafficEvent("device chosen");
    noReplyCount_ = 0;
    busWatchdog_.reset();
    sender_.deviceAddress = chosenAddress_;
    showProgress(true);
    startReadAll();
}

void Session::disconnectLink()
{
    if (closing_)
        return;
    watchdog_->stop();
    trafficEvent("closed");
    closeLink(false);
}

void Session::loseLink()
{
    if (closing_)
        return;
    trafficEvent("lost");
    usb_.resetReports();
    usb_.dropMatch();
    watchdog_->stop();
    closeLink(true);
}

void Session::closeLink(bool lost)
{
    awaitingOpen_ = false;
    emit closing(); // a transfer ends with its link
    port_ = kPortNone;
    deviceChange_->stop();
    if (!usbCarries() && serial_.isOpen()) {
        // The port stays open 50 ms for what is on its way; nothing more is
        // sent meanwhile, and replies are dropped.
        closing_ = true;
        portClose_->start();
    } else {
        serial_.close();
    }
    link_ = LinkState::Closed;
    usb_.sessionEnded();
    hideProgress();
    stopSendPulse();
    watchdog_->stop();
    usbRetry_->stop();
    model_.clearPending();
    setState(State::Disconnected);
    if (lost)
        emit linkLost();
}

void Session::closePort()
{
    if (!std::exchange(closing_, false))
        return;
    portClose_->stop();
    serial_.close();
    link_ = LinkState::Closed;
}

void Session::trafficEvent(std::string_view text)
{
    if (traffic_)
        traffic_->linkEvent(text);
}

// --- reply handlers --------------------------------------------------------

void Session::onIdentification(const frame::Reply& reply)
{
    if (!replies::identificationMatches(reply.payload()))
        return; // the watchdog ends the connection
    usbRetry_->stop();
    usb_.versionConfirmed = true;
    if (usbCarries() && link_ == LinkState::Closed)
        connectWanted();
    emit identified();
    sender_.sendRead(0, frame::kCmdReadPresetNames, 0);
}

void Session::onPresetNames(const frame::Reply& reply)
{
    if (!replies::storePresetNames(reply.payload(), model_))
        return;
    emit presetNamesArrived();
    sender_.sendRead(0, frame::kCmdReadSystemRecord, 0);
}

void Session::onSystemRecord(const frame::Reply& reply)
{
    const auto item = replies::storeSystemRecord(reply.payload(), model_);
    if (!item)
        return;
    emit systemRecordArrived(*item);
    sender_.sendRead(0, frame::kCmdCurrentGroup, 0);
}

void Session::onCurrentGroup(const frame::Reply& reply)
{
    if (!replies::storeGroup(reply.payload(), model_))
        return;
    // The device's image replaces the one edited here: writes still waiting
    // would only send its own values back.
    model_.clearImageWrites();
    emit imageArrived(reply);
    if (link_ == LinkState::Closed)
        return; // the link was lost while the save dialog was open

    hideProgress();
    startSendPulse();
    watchdog_->start();
    if (sender_.broadcast)
        sender_.deviceAddress = frame::kBroadcastAddress;
    setState(State::Connected);
}

void Session::onStoredGroup(const frame::Reply& reply)
{
    if (reply.payload().size() < frame::kGroupSize)
        return;
    emit storedGroupArrived(reply);
}

void Session::onMeters(const frame::Reply& reply)
{
    emit meterReplied(reply);
    if (const auto reading = replies::decodeMeter(reply.payload()))
        emit metersArrived(*reading);
}

} // namespace talvex
