#pragma once
// The session with the amplifier. Owns the link state, the command sender, the
// reply receiver, both transports, the traffic capture and the session's
// timers; connects and disconnects, runs the read-all chain (identification,
// preset names, system record, current group), paces the send scheduler,
// supervises the link (watchdog), retries the USB handshake, says when the
// transfer progress shows and keeps the serial port list fresh. It has no widgets:
// the window shows its state and the features follow its signals.

#include "link/bus_scheduler.h"
#include "link/command_sender.h"
#include "link/device_monitor.h"
#include "link/hid_controller.h"
#include "link/link_state.h"
#include "link/port_list.h"
#include "link/reply_handlers.h"
#include "link/reply_receiver.h"
#include "link/serial_link.h"
#include "link/traffic_log.h"
#include "link/transport_router.h"
#include "link/usb_hid_link.h"
#include "model/parameter_model.h"
#include "session/clock.h"
#include "session/sender_channel.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace talvex {

class TrafficCapture;

// As the device channel of administration and the transfers (SenderChannel),
// its pauses end with the link.
class Session : public QObject, public SenderChannel {
    Q_OBJECT
public:
    // Silent watchdog ticks (250 ms each) after which the link counts as lost.
    static constexpr int kWatchdogLimit = 13;
    // The send tick's period: the selected device's meter period.
    static constexpr int kSendPulseMs = 350;

    // Disconnected; Connecting from the open link (or from the start of a
    // gateway's network connection) to the end of the read-all chain; Connected once the device's image has arrived and the send pulse runs.
    enum class State { Disconnected, Connecting, Connected };

    struct Platform {
        TrafficLog* trafficLog = nullptr;  // --traffic-log, already open; null: no capture
        HidController* hid = nullptr;      // required
        QStringList extraPorts;            // --port paths
        PortList::Enumerator enumerator;   // empty: the machine's ports
        QString hidLockDirectory;          // empty: the system's temporary directory
        DeviceMonitor* monitor = nullptr;  // null: the device lists are polled
        PortList::AccessCheck accessCheck; // empty: the system's permissions
        Clock* clock = nullptr;            // null: the event loop's
    };


    Session(ParameterModel& model, const Platform& platform, QObject* parent = nullptr);
    ~Session() override;

    // What the user has chosen, pushed by the window whenever it changes: the
    // item of the port list and its text, and the Device ID's item (the
    // address on the bus). A choice moves no address by itself: a connect or
    // readSelectedDevice() takes it up.
    void choosePort(int itemIndex, const QString& name);
    void chooseDeviceAddress(int address);
    // Reads the port list once (portListChanged) and starts its 2 s refresh;
    // later calls do nothing.
    void start();

    State state() const { return state_; }
    // Opens the chosen transport and starts the read-all chain; on a network
    // gateway the chain starts once the connection is made, and a connection
    // not made within 3 s fails as a port that cannot be opened.
    void connectLink();
    // The user ends the session at once; an open serial or network port
    // closes 50 ms later (nothing is sent meanwhile and replies are dropped),
    // or when a connect or a search takes it first.
    void disconnectLink();
    // While held, an amplifier that arrives waits for the user's Connect
    // instead of connecting by itself (work that a read would replace is open).
    void holdAutomaticConnect(bool held) { automaticConnectHeld_ = held; }
    // Another Device ID was chosen while the link is open: edits still waiting go
    // to the device on screen, then the chosen device is read as a Connect reads
    // one, so the screen never shows one amplifier while edits go to another.
    // Over USB the edits go one send tick apart; a choice made meanwhile is
    // read once they are out (the device chosen last).
    void readSelectedDevice();

    // The device the session talks to: the chosen one, also in broadcast mode.
    int sessionDeviceAddress() const;
    // The bus overview: while a serial or network session is open, replies
    // whose address is another device's go to `handler` instead of the
    // session's handlers and leave the no-reply counter alone. Empty: every
    // reply is the session's, as without the overview.
    void setOtherDeviceReplies(ReplyReceiver::Handler handler);
    // A read to another device on the bus (the overview's polls): meter and
    // system-record reads go between the send ticks; preset names, longer than
    // the room between two ticks, wait a second for room and then delay one tick. The reply goes to the
    // other-device handler; a poll left unanswered is reported by otherDeviceUnanswered.
    // False when nothing went: the address is the session's own, or no bus session is open.
    bool pollOtherDevice(int address, int command);

    // --- the Device ID search: with no link open it borrows the serial port.
    // A link is open, being made or closing: a search is refused.
    bool linkInUse() const { return link_ != LinkState::Closed || serial_.connecting(); }
    // A USB amplifier has been matched and carries the link.
    bool usbMatched() const { return usb_.matched(); }
    // The USB link carries the frames.
    bool usbCarries() const { return router_.usbActive(); }
    // The serial port list as it stands, and why this user may not open a port.
    const std::vector<SerialPortItem>& portTable() const { return ports_.table(); }
    std::optional<QString> portRefusal(const QString& location) const { return ports_.accessRefusal(location); }
    // Opens `item` and starts reading it; `done(opened)` follows at once for a
    // serial port, and for a network gateway once it has connected or failed
    // (never when the port is closed or taken by a connect first).
    void openSearchPort(const SerialPortItem& item, std::function<void(bool opened)> done);
    bool searchPortOpen() const { return link_ == LinkState::Bus; }
    // A meter read to `address` on the search's port; the reply comes as meterReplied.
    void probeAddress(int address);
    // Closes the search's port (also one still connecting) and leaves the port number at `port`.
    void closeSearchPort(int port);

    // The send pulse and the watchdog. On a shared bus the scheduler keeps room for the next tick.
    void stopSendPulse() override;
    void startSendPulse() override;
    void stopWatchdog() override { watchdog_->stop(); }
    void startWatchdog() override { watchdog_->start(); }

    // The transfer progress panel (progressShown, progressHidden, progressChanged):
    // shown with the bar at 0 %, `animate` with the view's ten-second animation.
    void showProgress(bool animate) override;
    void hideProgress() override;
    void setProgress(int percent) override;

    // Which link carries the frames: only the session changes it.
    const LinkState& link() const { return link_; }
    // The port the link uses: its number in the port list, kPortNone,
    // kPortFailed (a connect could not open it) or kPortUsb.
    int portNumber() const { return port_; }
    // The serial port or the gateway is open, or being connected.
    bool portHeld() const { return serial_.isOpen() || serial_.connecting(); }
    // Every frame handed to the USB amplifier has been written.
    bool usbWritesIdle() const { return usb_.writesIdle(); }
    // A search has closed its port: a USB amplifier that waited for it takes the link.
    void searchPortReleased() { usb_.searchEnded(); }

signals:
    void stateChanged(talvex::Session::State state);
    // A connect begins: a running search is to stop, pop-ups, the search result
    // and the link-lost warning are to close.
    void connecting();
    // The link is closing (disconnect or loss): transfers end, editing state resets.
    void closing();
    // The watchdog gave up or the amplifier was unplugged (after the link has closed).
    void linkLost();
    // The amplifier identified itself.
    void identified();
    void presetNamesArrived();
    // `presetItem`: the preset list item the system record selects.
    void systemRecordArrived(int presetItem);
    // The device's image (the current group) has arrived in the model;
    // `reply` is its reply frame (a one-group save keeps it as hex text).
    void imageArrived(const talvex::frame::Reply& reply);
    void storedGroupArrived(const talvex::frame::Reply& reply);
    // Every meter reply (for the search), then its reading when it decodes.
    void meterReplied(const talvex::frame::Reply& reply);
    void metersArrived(const talvex::replies::MeterReading& reading);
    // The send pulse has sent its frame (a chunk or the meter read).
    void sendPulseTicked();
    void progressShown(bool animate);
    void progressHidden();
    void progressChanged(int percent);
    // The names the port list is to show (the last one selected).
    void portListChanged(const QStringList& names);
    // From the USB link: traffic log lines, its status, the selectors, the device list.
    void historyLineAdded(const QString& line);
    void oldestHistoryLineDropped();
    void usbStatusChanged(const QString& text);
    void selectorsEnabledChanged(bool enabled);
    void deviceListChanged(const QStringList& names);
    // A USB amplifier has arrived while a search holds the serial port: the search is to end.
    void usbAmplifierWaiting();
    // Something the user must be told (a message box).
    void userMessage(const QString& text);
    // A reply that came after its request's deadline on the bus: discarded.
    void lateReply(const QByteArray& frame);
    // A poll of another device on the bus went unanswered until its deadline.
    void otherDeviceUnanswered(int address, int command);

private:
    void setupTimers();
    // Reply handlers, called by the receiver with the decoded reply frame.
    void onIdentification(const frame::Reply& reply);
    void onPresetNames(const frame::Reply& reply);
    void onSystemRecord(const frame::Reply& reply);
    void onCurrentGroup(const frame::Reply& reply);
    void onStoredGroup(const frame::Reply& reply);
    void onMeters(const frame::Reply& reply);
    // What each tick of the watchdog (250 ms), the send pulse (350 ms), the USB
    // retry (500 ms) and the port list refresh (2000 ms) does.
    void watchdogTick();
    void usbRetryTick();
    void portListTick();
    void sendTick();
    void connectWanted();
    // The bus link opened or could not be opened.
    void busOpened();
    void busOpenFailed();
    void linkOpened(); // the transport is open: the read-all chain starts
    void startReader();
    void openFailed();
    // The read-all chain from its identification read, watched by the watchdog
    // (after a connect, and for another device chosen on the open link).
    void startReadAll();
    // A device on the open bus link other than the session's own.
    bool isOtherBusDevice(int address) const;
    // Ends the session; an open port is closed 50 ms later by closePort.
    void closeLink(bool lost);
    void closePort();
    // Edits still waiting go out one send tick apart (USB), then the chosen device is read.
    void drainEditsThenRead();
    void readChosenDevice();
    void loseLink();
    void setState(State state);
    void trafficEvent(std::string_view text);
    void requestUnanswered(int address, int command, bool poll);

    ParameterModel& model_;
    LinkState link_ = LinkState::Closed;
    int port_ = kPortNone;
    int noReplyCount_ = 0; // USB: watchdog ticks since the last complete reply
    CommandSender sender_;
    ReplyReceiver receiver_;
    PortList ports_;
    SerialLink serial_;
    std::unique_ptr<TrafficCapture> traffic_; // before usb_: sees USB arrivals first
    UsbHidLink usb_;
    TransportRouter router_;
    int chosenPortItem_ = -1;
    QString chosenPortName_;
    int chosenAddress_ = 0;
    State state_ = State::Disconnected;
    bool awaitingOpen_ = false; // a connect waits for its bus link to open
    bool started_ = false;
    bool automaticConnectHeld_ = false;
    bool closing_ = false;   // the port closes when its 50 ms have passed
    // On the platform's clock, named for the tests that watch them.
    Clock& clock_;
    std::unique_ptr<Timer> watchdog_;        // "watchdog", 250 ms
    std::unique_ptr<Timer> sendPulse_;       // "send pulse", 350 ms: the selected device's meter period
    std::unique_ptr<Timer> usbRetry_;        // "USB retry", 500 ms
    std::unique_ptr<Timer> portListRefresh_; // "port list", 2000 ms
    std::unique_ptr<Timer> portClose_;       // "port close", 50 ms, once
    std::unique_ptr<Timer> deviceChange_;    // "device change", one send tick, once: the next edit of a device change
    std::function<void(bool opened)> searchOpened_; // a search waits for its gateway
    // On a shared bus the watchdog counts only while a request that went out
    // is unanswered; over USB every silent tick counts.
    ReplyWatchdog busWatchdog_{kWatchdogLimit};
};

} // namespace talvex
