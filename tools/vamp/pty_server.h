#pragma once
// Serves a VirtualBus on a pseudo-terminal: the editor opens slavePath() as a
// serial port. Runs on the Qt event loop (QSocketNotifier), so tests can use it
// in-process; talvex-vamp wraps it in a command-line program.

#include "virtual_amplifier.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

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
    void setWirePace(bool on) { wirePace_ = on; }
    // Holds every reply back this many milliseconds (a device that answers late).
    void setReplyDelay(int ms) { replyDelayMs_ = ms; }
    // Bytes written to the editor so far.
    qint64 bytesSent() const { return sent_; }

private:
    void onReadable();
    void send(const std::vector<std::uint8_t>& bytes);
    void sendNow(const std::vector<std::uint8_t>& bytes);
    void flushPaced();

    VirtualBus& bus_;
    int master_ = -1;
    int slaveKeepAlive_ = -1; // keeps the line up while no client has it open
    QString slavePath_;
    QString error_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool wirePace_ = false;
    int replyDelayMs_ = 0;
    QByteArray paced_;
    QTimer paceTimer_;
    qint64 paceStartMs_ = 0;
    qint64 pacedSent_ = 0;
    qint64 sent_ = 0;
};

} // namespace talvex::vamp
