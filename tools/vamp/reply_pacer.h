#pragma once
// A virtual amplifier's replies on their way out, for both of its lines (the
// pty and the TCP port): held back for the reply delay, then written at once or,
// with wire pacing, at the pace of 9600 baud (10 bits a byte). Half duplex: the
// line is a two-wire bus (half_duplex_line.h); replies go byte-timed after a
// turnaround, and what the master sends while a reply is due or on the wire is
// a collision: counted, reported, dropped, and the reply it met is garbled.

#include "half_duplex_line.h"

#include <QByteArray>
#include <QElapsedTimer>
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
    void setHalfDuplex(bool on);
    // `count` bytes came from the master: false when half duplex and they collided.
    bool accept(std::size_t count);
    void send(const std::vector<std::uint8_t>& bytes);
    // Drops what is waiting to be written (the client went away).
    void clear();
    std::uint64_t collisions() const { return line_.collisions(); }
    // Called with the number of bytes lost at each collision.
    std::function<void(std::size_t count)> onCollision;

private:
    void sendNow(const std::vector<std::uint8_t>& bytes);
    double lineMs() const;
    void flushPaced();

    Write write_;
    bool wirePace_ = false;
    int replyDelayMs_ = 0;
    bool halfDuplex_ = false;
    HalfDuplexLine line_;
    QElapsedTimer lineClock_;
    double lineStartMs_ = 0; // half duplex: when the first byte of paced_ went on the wire
    int repliesWaiting_ = 0;   // half duplex: replies waiting for their start
    bool garbleWaiting_ = false; // the next of them met a collision
    QByteArray paced_;
    QTimer paceTimer_;
    qint64 paceStartMs_ = 0;
    qint64 pacedSent_ = 0;
};

} // namespace talvex::vamp
