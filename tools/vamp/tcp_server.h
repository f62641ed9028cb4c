#pragma once
// Serves a VirtualBus as a network RS-485 gateway would: a TCP port on
// 127.0.0.1 whose byte stream is the bus. One client at a time, as a gateway in
// raw mode allows; a new connection replaces the one before. Runs on the Qt
// event loop, so tests can use it in-process; talvex-vamp --tcp wraps it.

#include "reply_pacer.h"
#include "virtual_amplifier.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <vector>

namespace talvex::vamp {

class TcpServer : public QObject {
    Q_OBJECT
public:
    explicit TcpServer(VirtualBus& bus, QObject* parent = nullptr);
    ~TcpServer() override;

    // Listens on 127.0.0.1:port (0: a free port); false (and errorString()) on failure.
    bool start(quint16 port = 0);
    // Closes the client's connection and stops listening: the gateway goes away.
    void stop();
    // What the editor's --port takes: "tcp://127.0.0.1:PORT".
    QString location() const;
    QString errorString() const { return server_.errorString(); }
    bool hasClient() const { return !client_.isNull(); }

    // Sends replies at the pace of 9600 baud (10 bits a byte) instead of at once.
    void setWirePace(bool on) { pacer_.setWirePace(on); }
    // Holds every reply back this many milliseconds (a device that answers late).
    void setReplyDelay(int ms) { pacer_.setReplyDelay(ms); }
    // A two-wire bus: replies byte-timed after a turnaround, collisions counted and dropped.
    void setHalfDuplex(bool on) { pacer_.setHalfDuplex(on); }
    std::uint64_t collisions() const { return pacer_.collisions(); }
    const ReplyPacer& line() const { return pacer_; }
    // Called with the number of bytes lost at each collision.
    void setCollisionReport(std::function<void(std::size_t)> report) { pacer_.onCollision = std::move(report); }

private:
    void onNewConnection();
    void onReadable();

    VirtualBus& bus_;
    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    ReplyPacer pacer_{[this](const char* data, qint64 size) { return client_ ? client_->write(data, size) : -1; }};
};

} // namespace talvex::vamp
