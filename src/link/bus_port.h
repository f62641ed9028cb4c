#pragma once
// One open half-duplex bus: a byte link (byte_link.h) to a serial port
// (9600 8N1) or an RS-485 gateway on the network ("tcp://HOST:PORT"), the
// reassembly of the replies that come back, the bus scheduler that lets one conversation at a time onto the line,
// and the timer that drives it. Nothing here knows which device is "the"
// device: any number of devices on the port are reached through submit().
//
// Received bytes are read as soon as they arrive. A reply is taken when its
// start bytes, length, end byte and checksum are right; bytes before a start
// byte are skipped. A reply that fails its checks is garbled: it is dropped and
// the request it answered frees the bus at its deadline. Awaited replies go to
// their request's onReply; late and unexpected ones are reported by signal.

#include "link/bus_scheduler.h"
#include "link/byte_link.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace talvex {

class BusPort : public QObject {
    Q_OBJECT
public:
    // The byte link for a location (by default makeBusByteLink); tests replace it.
    using LinkFactory = std::function<std::unique_ptr<ByteLink>(const QString& location)>;

    explicit BusPort(BusTiming timing = {}, QObject* parent = nullptr);
    ~BusPort() override;

    void setLinkFactory(LinkFactory factory) { factory_ = std::move(factory); }

    // Opens a serial port's path or starts connecting to a gateway; whatever
    // was open before is closed first. Ends with opened() or failed(), which
    // for a serial port come before open() returns.
    void open(const QString& location);
    // Closes the port or drops the connection being made; waiting requests are
    // dropped without their callbacks. Sends closed() when something was open.
    void close();
    bool isOpen() const { return open_; }
    bool connecting() const { return link_ && link_->isOpening(); }
    QString location() const { return location_; }

    // Queues a frame for the bus (see BusScheduler). Nothing goes while closed.
    RequestId submit(BusRequest request);
    void cancel(RequestId id) { scheduler_.cancel(id); }
    void clearRequests() { scheduler_.clear(); }
    // The owner's next first-priority frame is due in `ms` (nothing: none due).
    void reserveIn(std::optional<int> ms);
    // Writes bytes at once, past the scheduler: for a program that plays the
    // master by hand. Replies to it arrive as unexpected ones.
    void writeUnscheduled(std::span<const std::uint8_t> bytes);

    const BusScheduler& scheduler() const { return scheduler_; }
    std::int64_t nowMs() const { return clock_.elapsed(); }

signals:
    void opened();
    // The port could not be opened, the gateway refused or did not answer in
    // time, or a read or write error closed the port (text for the traffic log).
    // After an error that closed an open port, closed() follows.
    void failed(const QString& text);
    // The port closed: by close(), by an error (after failed()), or the gateway hung up.
    void closed();
    // A complete, intact reply nobody was waiting for / one that came after its deadline.
    void unexpectedReply(const QByteArray& frame);
    void lateReply(const QByteArray& frame);
    // Bytes dropped by the reply check (collision, noise, wrong checksum).
    void garbledReply(const QByteArray& bytes);

private:
    void write(std::span<const std::uint8_t> frame);
    void onBytes(const QByteArray& bytes);
    void takeReplies();
    void parseReplies(bool waitedInPort);
    void drive(); // advance() now, then the timer for the next wake
    void onLinkFailed(const QString& text);
    void onLinkClosed();
    void forgetRequests();

    BusScheduler scheduler_;
    QElapsedTimer clock_;
    QTimer wake_;
    LinkFactory factory_;
    std::unique_ptr<ByteLink> link_;
    bool open_ = false; // the link carries the bus
    bool readingWaiting_ = false; // bytes reported now were in the port at a deadline
    QString location_;
    std::vector<std::uint8_t> received_;
};

} // namespace talvex
