#pragma once
// Serves a VirtualBus on a pseudo-terminal: the editor opens slavePath() as a
// serial port. Runs on the Qt event loop (QSocketNotifier), so tests can use it
// in-process; talvex-vamp wraps it in a command-line program.

#include "reply_pacer.h"
#include "virtual_amplifier.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

namespace talvex::vamp {

class PtyServer : public QObject {
    Q_OBJECT
public:
    explicit PtyServer(VirtualBus& bus, QObject* parent = nullptr);
    ~PtyServer() override;

    // Opens the pseudo-terminal; false (and errorString()) on failure.
    bool start();
    // Closes the master side: the device goes away.
    void stop();
    QString slavePath() const { return slavePath_; }
    QString errorString() const { return error_; }

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
    // Bytes written to the editor so far.
    qint64 bytesSent() const { return sent_; }

private:
    void onReadable();
    qint64 write(const char* data, qint64 size);

    VirtualBus& bus_;
    int master_ = -1;
    int slaveKeepAlive_ = -1; // keeps the line up while no client has it open
    QString slavePath_;
    QString error_;
    std::unique_ptr<QSocketNotifier> notifier_;
    qint64 sent_ = 0;
    ReplyPacer pacer_{[this](const char* data, qint64 size) { return write(data, size); }};
};

} // namespace talvex::vamp
