#pragma once
// A virtual amplifier's replies on their way out, for both of its lines (the
// pty and the TCP port): held back for the reply delay, then written at once or,
// with wire pacing, at the pace of 9600 baud (10 bits a byte).

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

namespace talvex::vamp {

class ReplyPacer : public QObject {
    Q_OBJECT
public:
    // Writes up to `size` bytes to the line: how many went, 0 when the line is
    // busy for a moment, -1 when it is gone.
    using Write = std::function<qint64(const char* data, qint64 size)>;

    explicit ReplyPacer(Write write, QObject* parent = nullptr);

    void setWirePace(bool on) { wirePace_ = on; }
    void setReplyDelay(int ms) { replyDelayMs_ = ms; }
    void send(const std::vector<std::uint8_t>& bytes);
    // Drops what is waiting to be written (the client went away).
    void clear();

private:
    void sendNow(const std::vector<std::uint8_t>& bytes);
    void flushPaced();

    Write write_;
    bool wirePace_ = false;
    int replyDelayMs_ = 0;
    QByteArray paced_;
    QTimer paceTimer_;
    qint64 paceStartMs_ = 0;
    qint64 pacedSent_ = 0;
};

} // namespace talvex::vamp
