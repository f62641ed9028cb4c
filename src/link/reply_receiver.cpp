#include "link/reply_receiver.h"

#include <algorithm>

namespace talvex {

namespace {

// True while `bytes` may still become (or already is) a frame start.
bool startsLikeAFrame(std::span<const std::uint8_t> bytes)
{
    const std::size_t n = std::min<std::size_t>(bytes.size(), 3);
    return std::all_of(bytes.begin(), bytes.begin() + std::ptrdiff_t(n), [](std::uint8_t b) { return b == frame::kStart; });
}

} // namespace

void ReplyReceiver::dispatchCompleteFrame()
{
    if (bytes_.size() > kByteLimit)
        bytes_.clear();
    // Bytes that precede a frame start are never skipped: everything goes.
    if (!startsLikeAFrame(bytes_)) {
        bytes_.clear();
        return;
    }
    // A head that has not fully arrived cannot tell the length yet: wait.
    const auto size = frame::frameSize(bytes_);
    if (!size || bytes_.size() < *size)
        return;
    std::vector<std::uint8_t> received = std::move(bytes_);
    bytes_.clear();
    // Bytes that followed the frame in the same read are discarded with it.
    const frame::Reply reply{std::span<const std::uint8_t>(received).first(*size)};
    const bool isReply = reply.bytes.back() == frame::kEnd && reply.operation() == frame::kOpReply;
    const bool otherDevice = isReply && isOtherDevice_ && otherDeviceHandler_ && isOtherDevice_(reply.address());
    if (!otherDevice && ownFrameObserver_)
        ownFrameObserver_();
    if (observer_)
        observer_(reply.bytes, isReply);
    if (isReply) {
        if (auto& handler = otherDevice ? otherDeviceHandler_ : handlers_[reply.command()])
            handler(reply);
    }
}

void ReplyReceiver::dispatchOtherDevice(std::span<const std::uint8_t> frame)
{
    if (frame.size() < frame::kOverhead)
        return;
    if (observer_)
        observer_(frame, true);
    if (otherDeviceHandler_)
        otherDeviceHandler_(frame::Reply{frame});
}

void ReplyReceiver::receive(std::span<const std::uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    dispatchCompleteFrame();
}

void ReplyReceiver::receiveFrame(std::span<const std::uint8_t> frame)
{
    bytes_.clear();
    receive(frame);
}

} // namespace talvex
