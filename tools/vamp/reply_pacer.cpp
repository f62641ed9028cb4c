#include "reply_pacer.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace talvex::vamp {

namespace {
constexpr double kBytesPerMs = 9600.0 / 10.0 / 1000.0; // 10 bits a byte at 9600 baud
} // namespace

ReplyPacer::ReplyPacer(Write write, QObject* parent) : QObject(parent), write_(std::move(write))
{
    paceTimer_.setInterval(5);
    paceTimer_.setTimerType(Qt::PreciseTimer);
    connect(&paceTimer_, &QTimer::timeout, this, &ReplyPacer::flushPaced);
}

void ReplyPacer::setHalfDuplex(bool on)
{
    halfDuplex_ = on;
    lineClock_.start();
    if (on) {
        wirePace_ = true;
        paceTimer_.setInterval(1); // byte timing within a millisecond or so
    }
}

bool ReplyPacer::accept(std::size_t count)
{
    if (!halfDuplex_ || line_.receive(count, lineMs()))
        return true;
    // Both sides garble: the reply being sent (or about to be) is damaged too.
    if (!paced_.isEmpty())
        paced_[paced_.size() - 1] = char(0x55);
    else if (repliesWaiting_ > 0)
        garbleWaiting_ = true;
    if (onCollision)
        onCollision(count);
    return false;
}

void ReplyPacer::send(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        return;
    if (halfDuplex_) {
        const double start = line_.reply(bytes.size()) + replyDelayMs_;
        const double wait = start - lineMs();
        ++repliesWaiting_;
        QTimer::singleShot(wait > 0 ? int(wait) : 0, Qt::PreciseTimer, this, [this, start, reply = bytes]() mutable {
            --repliesWaiting_;
            if (std::exchange(garbleWaiting_, false))
                reply.back() = 0x55;
            if (paced_.isEmpty()) {
                lineStartMs_ = start;
                pacedSent_ = 0;
            }
            paced_.append(reinterpret_cast<const char*>(reply.data()), qsizetype(reply.size()));
            flushPaced();
            paceTimer_.start();
        });
        return;
    }
    if (replyDelayMs_ > 0) {
        // Equal delays keep the replies in order.
        QTimer::singleShot(replyDelayMs_, Qt::PreciseTimer, this, [this, bytes] { sendNow(bytes); });
        return;
    }
    sendNow(bytes);
}

void ReplyPacer::clear()
{
    paceTimer_.stop();
    paced_.clear();
    garbleWaiting_ = false;
}

void ReplyPacer::sendNow(const std::vector<std::uint8_t>& bytes)
{
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    if (wirePace_) {
        if (paced_.isEmpty()) {
            paceStartMs_ = QDateTime::currentMSecsSinceEpoch();
            pacedSent_ = 0;
        }
        paced_.append(data, qsizetype(bytes.size()));
        paceTimer_.start();
        return;
    }
    for (qint64 at = 0; at < qint64(bytes.size());) {
        const qint64 count = write_(data + at, qint64(bytes.size()) - at);
        if (count < 0)
            return;
        if (count == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        at += count;
    }
}

double ReplyPacer::lineMs() const { return double(lineClock_.nsecsElapsed()) / 1e6; }

void ReplyPacer::flushPaced()
{
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - paceStartMs_;
    // Half duplex: a byte is handed over once its last bit has left the wire,
    // so the master never hears a reply end before the line says it has.
    const qint64 onWire = halfDuplex_ ? qint64((lineMs() - lineStartMs_) / HalfDuplexLine::kByteMs)
                                      : qint64(double(elapsed) * kBytesPerMs) + 1;
    const qint64 due = std::min<qint64>(onWire - pacedSent_, paced_.size());
    if (due > 0) {
        const qint64 written = write_(paced_.constData(), due);
        if (written > 0) {
            paced_.remove(0, written);
            pacedSent_ += written;
        }
    }
    if (paced_.isEmpty())
        paceTimer_.stop();
}

} // namespace talvex::vamp
