#pragma once
// Serial bus link: the port list with its compare-then-replace refresh, and the
// bus port (bus_port.h) that carries the session's frames, one conversation at
// a time, and hands each reply to the reply receiver. A port-list item
// "tcp://HOST:PORT" is an RS-485 gateway on the network: the same byte stream
// runs over a TCP connection, which is made in the background.

#include "link/bus_port.h"
#include "link/link_state.h"
#include "link/reply_receiver.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace talvex {

// One item of the port list. `name` is the text shown in cbb_comport; `location`
// is what gets opened; `number` is the item's port number: on Windows the COM
// number (0 when the name does not end in one) and 1000 + k for the k-th extra
// path; elsewhere the item's position + 1, skipping 100 (the USB link's mark).
struct SerialPortItem {
    QString name;
    QString location;
    int number = 0;
    bool operator==(const SerialPortItem&) const = default;
};

class SerialLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kQueueSize = BusPort::kQueueSize;
    // Milliseconds a network gateway has to accept the connection.
    static constexpr int kConnectTimeoutMs = BusPort::kConnectTimeoutMs;

    SerialLink(LinkState& link, ReplyReceiver& receiver, QObject* parent = nullptr);
    ~SerialLink() override;

    // Lists the machine's ports as (name, system location). Defaults to
    // QSerialPortInfo::availablePorts(); tests replace it.
    using Enumerator = std::function<std::vector<SerialPortItem>()>;
    void setEnumerator(Enumerator enumerator);
    // Paths given with --port: each joins the list after the enumerated ports,
    // in the order given.
    void setExtraPorts(const QStringList& paths);

    // Why this process may not open a port at all (no permission), or nothing
    // when it may try. Checked on Unix only (elsewhere a refused port is a busy
    // one); tests replace the check.
    using AccessCheck = std::function<std::optional<QString>(const QString& location)>;
    void setAccessCheck(AccessCheck check) { accessCheck_ = std::move(check); }
    std::optional<QString> accessRefusal(const QString& location) const;

    // Reads the port list now: enumerated ports sorted as text ignoring case,
    // then the extra paths; numbers filled in.
    std::vector<SerialPortItem> readPortList() const;

    // Start-up fill: reads the list into the port table and returns its names
    // (the session hands them to the window, which selects the last item).
    QStringList initialPortList();
    // The 2 s refresh. Returns the names the shown list must be
    // replaced with (select the last item), or nothing when it stays as it is:
    // while connected, or when the fresh reading equals the current table.
    // With the ports monitored, the ports are read only when the monitor has
    // reported a change since the last reading.
    std::optional<QStringList> refreshPortList();
    void setPortsMonitored(bool monitored) { monitored_ = monitored; }
    // A port came or went (from the device monitor).
    void portsMayHaveChanged() { portsChanged_ = true; }

    const std::vector<SerialPortItem>& portTable() const { return table_; }
    // Port number of item `itemIndex` of the shown list, or nothing.
    std::optional<int> portNumber(int itemIndex) const;
    // "COM3" for 3, "//./COM12" for 12 (the Windows device names).
    static QString comDeviceName(int number);

    // Opens the port with this number from the table (-1: does nothing) at 9600
    // 8N1, flow control, DTR and RTS as the port has them. Sets
    // LinkState::connected exactly when the line settings were accepted.
    bool open(int portNumber);
    // Opens a path directly (used by open() and by tests). A network location
    // ("tcp://HOST:PORT") returns false and starts connecting (connecting()),
    // which ends with connectEnded; nothing waits for it.
    bool openLocation(const QString& location);
    static bool isNetworkLocation(const QString& location);
    // A network connection is being made.
    bool connecting() const;
    // Starts handing received bytes to the receiver (only when connected and
    // the serial port is the transport).
    void startReader();
    // Closes the port (only when connected); clears the connected flag unless
    // the USB mode flag is set. A network connection being made is dropped.
    void close();
    bool isOpen() const { return bus_.isOpen(); }

    // Queues one encoded frame on the bus; the reply the command table promises
    // is awaited and handed to the receiver: to the other-device handler for a
    // poll (Poll or Background priority), as any reply otherwise. On a write error the port closes and
    // the connected flag stays set; the no-reply supervision ends the link.
    void submit(std::span<const std::uint8_t> frame, BusPriority priority);
    // Writes the bytes at once, past the bus scheduler (a master played by hand);
    // the replies reach the receiver as any reply does.
    void write(std::span<const std::uint8_t> bytes);
    // The session's next send tick is due in `ms`: lower priorities fit in before it.
    void reserveIn(std::optional<int> ms) { bus_.reserveIn(ms); }
    const BusPort& bus() const { return bus_; }

signals:
    // A port could not be opened, or a read or write error closed it (text for
    // the traffic log).
    void portFailed(const QString& text);
    // A network connection being made was made (the connected flag is set) or
    // not (the reason went out as portFailed). Not sent when close() or another
    // open ends it first.
    void connectEnded(bool opened);
    // A request this link submitted went unanswered until its deadline; `poll`:
    // a read of another device (Poll or Background priority).
    void requestUnanswered(int address, int command, bool poll);
    // A reply that came after its request's deadline: discarded.
    void lateReply(const QByteArray& frame);

private:
    bool serialIsTransport() const { return !link_.usbMode && link_.matchedDevice == kNoMatchedDevice; }
    void deliver(std::span<const std::uint8_t> reply);

    LinkState& link_;
    ReplyReceiver& receiver_;
    Enumerator enumerator_;
    AccessCheck accessCheck_;
    QStringList extraPorts_;
    std::vector<SerialPortItem> table_;
    BusPort bus_;
    bool readerRunning_ = false;
    bool monitored_ = false;
    bool portsChanged_ = false;
};

} // namespace talvex
