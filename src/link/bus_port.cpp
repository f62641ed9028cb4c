#include "link/bus_port.h"

#include "link/frame_packaging.h"

#include <algorithm>
#include <utility>

namespace talvex {

namespace {

// The longest reply any command gets (a group); a longer length field is noise.
constexpr std::size_t kLongestReply = frame::kGroupSize + frame::kOverhead;

} // namespace

BusPort::BusPort(BusTiming timing, QObject* parent)
    : QObject(parent), scheduler_([this](std::span<const std::uint8_t> f) { write(f); }, timing),
      factory_(makeBusByteLink)
{
    clock_.start();
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer); // deadlines are a few milliseconds apart
    connect(&wake_, &QTimer::timeout, this, &BusPort::drive);
}

BusPort::~BusPort()
{
    // A link being torn down may still signal; nothing of it may reach this port.
    if (link_)
        link_->disconnect(this);
}

void BusPort::open(const QString& location)
{
    close();
    location_ = location;
    // The old link may be the one whose signal led here: it goes once that has returned.
    if (link_)
        link_.release()->deleteLater();
    link_ = factory_(location);
    connect(link_.get(), &ByteLink::opened, this, [this] {
        open_ = true;
        emit opened();
    });
    connect(link_.get(), &ByteLink::failed, this, &BusPort::onLinkFailed);
    connect(link_.get(), &ByteLink::closed, this, &BusPort::onLinkClosed);
    connect(link_.get(), &ByteLink::bytesReceived, this, &BusPort::onBytes);
    link_->open(location);
}

void BusPort::close()
{
    const bool wasOpen = std::exchange(open_, false);
    forgetRequests();
    if (!link_)
        return;
    link_->disconnect(this);
    link_->close();
    if (wasOpen)
        emit closed();
}

void BusPort::forgetRequests()
{
    scheduler_.reset();
    received_.clear();
    wake_.stop();
}

void BusPort::onLinkFailed(const QString& text)
{
    // An open port that failed is closed by its link (closed() follows).
    if (open_)
        forgetRequests();
    emit failed(text);
}

void BusPort::onLinkClosed()
{
    if (!std::exchange(open_, false))
        return;
    forgetRequests();
    emit closed();
}

RequestId BusPort::submit(BusRequest request)
{
    if (!open_)
        return 0;
    // A deadline that passes ends whatever half reply is in the buffer: the next
    // reply starts clean.
    request.onNoReply = [this, inner = std::move(request.onNoReply)] {
        received_.clear();
        if (inner)
            inner();
    };
    const RequestId id = scheduler_.submit(std::move(request));
    drive();
    return id;
}

void BusPort::reserveIn(std::optional<int> ms)
{
    scheduler_.reserveAt(ms ? std::optional(nowMs() + *ms) : std::nullopt);
    if (open_)
        drive();
}

void BusPort::writeUnscheduled(std::span<const std::uint8_t> bytes) { write(bytes); }

void BusPort::write(std::span<const std::uint8_t> frame)
{
    // A block write goes as its head, then the rest, as over every medium.
    for (auto part : frameParts(frame)) {
        if (!open_ || part.empty())
            return;
        if (!link_->write(part)) {
            const QString text = QStringLiteral("WRITE ERROR: %1").arg(link_->errorString());
            open_ = false;
            forgetRequests();
            link_->disconnect(this);
            link_->close();
            emit failed(text);
            emit closed();
            return;
        }
    }
    link_->flush();
}

void BusPort::drive()
{
    if (!open_)
        return;
    // On a busy machine the deadline may be handled before a reply that has
    // already arrived is read: take what the port holds before the request
    // counts as unanswered.
    if (const auto deadline = scheduler_.replyDeadline(); deadline && nowMs() > *deadline && !readingWaiting_) {
        readingWaiting_ = true;
        link_->readWaiting();
        readingWaiting_ = false;
        if (!open_)
            return;
        parseReplies(true);
    }
    const std::int64_t now = nowMs();
    scheduler_.advance(now);
    if (const auto wake = scheduler_.nextWakeMs(); wake && open_)
        wake_.start(int(std::max<std::int64_t>(0, *wake - nowMs())));
    else
        wake_.stop();
}

void BusPort::onBytes(const QByteArray& bytes)
{
    if (!open_)
        return;
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    if (!readingWaiting_)
        takeReplies();
}

void BusPort::takeReplies()
{
    parseReplies(false);
    drive();
}

void BusPort::parseReplies(bool waitedInPort)
{
    QByteArray garbled;
    const auto drop = [&](std::size_t count) {
        garbled.append(reinterpret_cast<const char*>(received_.data()), qsizetype(count));
        received_.erase(received_.begin(), received_.begin() + std::ptrdiff_t(count));
    };
    while (!received_.empty()) {
        const auto start = std::find(received_.begin(), received_.end(), frame::kStart);
        drop(std::size_t(start - received_.begin()));
        frame::Decoded decoded;
        const auto status = frame::decode(received_, decoded);
        const auto size = frame::frameSize(received_);
        if (status == frame::DecodeStatus::NeedMore && !(size && *size > kLongestReply))
            break;
        if (status != frame::DecodeStatus::Complete) {
            drop(1); // look for the next start byte
            continue;
        }
        if (!decoded.checksumOk) {
            drop(decoded.consumed);
            continue;
        }
        const std::vector<std::uint8_t> reply(received_.begin(), received_.begin() + std::ptrdiff_t(decoded.consumed));
        received_.erase(received_.begin(), received_.begin() + std::ptrdiff_t(decoded.consumed));
        switch (scheduler_.replyArrived(frame::Reply{reply}, nowMs(), waitedInPort)) {
        case BusScheduler::ReplyFit::Awaited:
            break;
        case BusScheduler::ReplyFit::Late:
            emit lateReply(byteArray(reply));
            break;
        case BusScheduler::ReplyFit::Unexpected:
            emit unexpectedReply(byteArray(reply));
            break;
        }
    }
    if (!garbled.isEmpty())
        emit garbledReply(garbled);
}

} // namespace talvex
