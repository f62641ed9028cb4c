#pragma once
// The session's bus link: the bus port (bus_port.h) on a serial port or an
// RS-485 gateway on the network ("tcp://HOST:PORT"), which carries the
// session's frames one conversation at a time, and the hand-over of each reply
// to the reply receiver. Opening ends with opened() or openFailed() (for a
// serial port before open() returns); nothing waits for a gateway.

#include "link/bus_port.h"
#include "link/reply_receiver.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace talvex {

class SerialLink : public QObject {
    Q_OBJECT
public:
    explicit SerialLink(ReplyReceiver& receiver, QObject* parent = nullptr);
    ~SerialLink() override;

    // Opens a serial port's path at 9600 8N1 (flow control, DTR and RTS as the
    // port has them), or starts connecting to a gateway. Whatever was open or
    // connecting is closed first.
    void open(const QString& location);
    // A network connection is being made.
    bool connecting() const { return bus_.connecting(); }
    // Starts handing received bytes to the receiver (only while the port is
    // open; the session starts it only when no USB amplifier is matched).
    void startReader();
    // Closes the port, or drops a network connection being made (closed() when
    // something was open or connecting).
    void close();
    bool isOpen() const { return bus_.isOpen(); }

    // Queues one encoded frame on the bus; the reply the command table promises
    // is awaited and handed to the receiver: to the other-device handler for a
    // poll (Poll or Background priority), as any reply otherwise. On a write
    // error the port closes (portFailed); the no-reply supervision ends the link.
    void submit(std::span<const std::uint8_t> frame, BusPriority priority);
    // Writes the bytes at once, past the bus scheduler (a master played by hand);
    // the replies reach the receiver as any reply does.
    void write(std::span<const std::uint8_t> bytes);
    // The session's next send tick is due in `ms`: lower priorities fit in before it.
    void reserveIn(std::optional<int> ms) { bus_.reserveIn(ms); }
    const BusPort& bus() const { return bus_; }

signals:
    // The port is open, or the gateway has accepted the connection.
    void opened();
    // It could not be opened (the reason went out as portFailed first).
    void openFailed();
    // The port was closed by close().
    void closed();
    // A port could not be opened, or a read or write error closed it (text for
    // the traffic log).
    void portFailed(const QString& text);
    // A request this link submitted went unanswered until its deadline; `poll`:
    // a read of another device (Poll or Background priority).
    void requestUnanswered(int address, int command, bool poll);
    // A reply that came after its request's deadline: discarded.
    void lateReply(const QByteArray& frame);

private:
    void deliver(std::span<const std::uint8_t> reply);

    ReplyReceiver& receiver_;
    BusPort bus_;
    bool readerRunning_ = false;
    bool opening_ = false; // open() was called and has not ended yet
};

} // namespace talvex
