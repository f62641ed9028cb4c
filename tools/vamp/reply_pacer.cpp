#include "reply_pacer.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <thread>

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

void ReplyPacer::send(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        return;
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

void ReplyPacer::flushPaced()
{
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - paceStartMs_;
    const qint64 due = std::min<qint64>(qint64(double(elapsed) * kBytesPerMs) + 1 - pacedSent_, paced_.size());
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
