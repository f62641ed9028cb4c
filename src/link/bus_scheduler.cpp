#include "link/bus_scheduler.h"

#include <algorithm>

namespace talvex {

namespace {

// Expired requests remembered for telling a late reply from an unexpected one.
constexpr std::size_t kExpiredKept = 8;

} // namespace

std::int64_t BusTiming::wireMs(std::size_t bytes) const
{
    const std::int64_t bits = std::int64_t(bytes) * bitsPerByte;
    return (bits * 1000 + baud - 1) / baud;
}

std::optional<std::size_t> expectedReplyPayload(std::span<const std::uint8_t> request)
{
    if (request.size() < frame::kHeadSize || request[3] == frame::kBroadcastAddress ||
        request[4] != frame::kOpRead)
        return std::nullopt;
    switch (request[6]) {
    case frame::kCmdReadSystemRecord:
        return frame::kSystemRecordSize;
    case frame::kCmdReadPresetNames:
        return frame::kPresetNamesSize;
    case frame::kCmdCurrentGroup:
    case frame::kCmdStoredGroup:
        return frame::kGroupSize;
    case frame::kCmdMeters:
        return frame::kMetersSize;
    case frame::kCmdIdentification:
        return frame::kIdentificationSize;
    default:
        return std::nullopt;
    }
}

BusScheduler::BusScheduler(Writer write, BusTiming timing) : write_(std::move(write)), timing_(timing) {}

RequestId BusScheduler::submit(BusRequest request)
{
    const RequestId id = nextId_++;
    queues_[index(request.priority)].push_back({id, std::move(request), -1});
    return id;
}

void BusScheduler::cancel(RequestId id)
{
    if (current_ && current_->id == id) {
        current_->onReply = nullptr;
        current_->onNoReply = nullptr;
        return;
    }
    for (auto& queue : queues_)
        std::erase_if(queue, [id](const Waiting& w) { return w.id == id; });
}

void BusScheduler::clear()
{
    for (auto& queue : queues_)
        queue.clear();
    if (current_)
        cancel(current_->id);
}

void BusScheduler::reset()
{
    for (auto& queue : queues_)
        queue.clear();
    current_.reset();
    expired_.clear();
}

bool BusScheduler::awaitsReply(const BusRequest& request) const
{
    return request.replyPayload && request.frame.size() >= frame::kHeadSize &&
           request.frame[3] != frame::kBroadcastAddress;
}

std::int64_t BusScheduler::expectedHoldMs(const BusRequest& request) const
{
    const std::int64_t own = timing_.wireMs(request.frame.size());
    if (!awaitsReply(request))
        return own + timing_.gapMs;
    return own + timing_.turnaroundMs + timing_.wireMs(*request.replyPayload + frame::kOverhead);
}

BusScheduler::ReplyFit BusScheduler::replyArrived(const frame::Reply& reply, std::int64_t nowMs, bool waitedInPort)
{
    lastNow_ = nowMs;
    const bool matchesCurrent = current_ && current_->awaitsReply && current_->address == reply.address() &&
                                current_->command == reply.command();
    if (matchesCurrent && (nowMs <= current_->freeAt || waitedInPort)) {
        auto onReply = std::move(current_->onReply);
        current_.reset();
        ++counts_.answered;
        if (onReply)
            onReply(reply);
        sendNext(nowMs);
        return ReplyFit::Awaited;
    }
    if (matchesCurrent)
        advance(nowMs); // its deadline has passed, the timer just has not run yet
    const auto late = std::find_if(expired_.rbegin(), expired_.rend(), [&](const Expired& e) {
        return e.address == reply.address() && e.command == reply.command();
    });
    if (late != expired_.rend()) {
        expired_.erase(std::next(late).base());
        ++counts_.late;
        return ReplyFit::Late;
    }
    ++counts_.unexpected;
    return ReplyFit::Unexpected;
}

void BusScheduler::advance(std::int64_t nowMs)
{
    lastNow_ = nowMs;
    for (auto& queue : queues_)
        for (auto& waiting : queue)
            if (waiting.queuedAt < 0)
                waiting.queuedAt = nowMs;
    if (current_ && nowMs >= current_->freeAt) {
        OnWire done = std::move(*current_);
        current_.reset();
        if (done.awaitsReply) {
            ++counts_.unanswered;
            expired_.push_back({done.address, done.command});
            if (expired_.size() > kExpiredKept)
                expired_.pop_front();
            if (done.onNoReply)
                done.onNoReply();
        }
    }
    sendNext(nowMs);
}

std::optional<std::size_t> BusScheduler::pickQueue(std::int64_t nowMs) const
{
    const std::size_t background = index(BusPriority::Background);
    std::optional<bool> backgroundMayGo; // nothing: none waiting
    if (const auto& queue = queues_[background]; !queue.empty()) {
        const Waiting& front = queue.front();
        const bool fits = !reservedAt_ || nowMs + expectedHoldMs(front.request) <= *reservedAt_;
        const bool waitedEnough = front.queuedAt >= 0 && nowMs - front.queuedAt >= timing_.patienceMs;
        // One that has waited long enough goes before the polls, which never run dry.
        if (waitedEnough && queues_[index(BusPriority::Edit)].empty() && queues_[index(BusPriority::Chain)].empty())
            return background;
        backgroundMayGo = fits;
    }
    for (std::size_t p = 0; p < background; ++p)
        if (!queues_[p].empty())
            return p;
    if (backgroundMayGo.value_or(false))
        return background;
    return std::nullopt;
}

void BusScheduler::sendNext(std::int64_t nowMs)
{
    if (current_)
        return;
    const auto p = pickQueue(nowMs);
    if (!p)
        return;
    Waiting next = std::move(queues_[*p].front());
    queues_[*p].pop_front();
    BusRequest& request = next.request;
    OnWire wire;
    wire.id = next.id;
    wire.address = request.frame.size() > 3 ? request.frame[3] : 0;
    wire.command = request.frame.size() > 6 ? request.frame[6] : 0;
    wire.awaitsReply = awaitsReply(request);
    wire.freeAt = nowMs + expectedHoldMs(request) + (wire.awaitsReply ? timing_.marginMs : 0);
    wire.onReply = std::move(request.onReply);
    wire.onNoReply = std::move(request.onNoReply);
    current_ = std::move(wire);
    ++counts_.sent;
    write_(request.frame); // the bus is already held: a callback's advance() sends nothing more
    if (request.onSent)
        request.onSent();
}

std::optional<std::int64_t> BusScheduler::nextWakeMs() const
{
    if (current_)
        return current_->freeAt;
    const std::int64_t now = lastNow_.value_or(0);
    std::optional<std::int64_t> wake;
    for (const auto& queue : queues_) {
        if (queue.empty())
            continue;
        const Waiting& front = queue.front();
        if (front.queuedAt < 0 || pickQueue(now))
            return now;
        const std::int64_t at = front.queuedAt + timing_.patienceMs;
        wake = wake ? std::min(*wake, at) : at;
    }
    return wake;
}

} // namespace talvex
