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
    if (!otherDevice) {
        link_.noReplyCount = 0;
        if (ownFrameObserver_)
            ownFrameObserver_();
    }
    if (observer_)
        observer_(reply.bytes, isReply);
    // The frame is whole: a frame that starts while its handler has a modal
    // dialog open is reassembled afresh.
    reassembling_ = false;
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

void ReplyReceiver::appendSerialBytes(std::span<const std::uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    dispatchCompleteFrame();
}

void ReplyReceiver::appendUsbReport(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> report(data, size);

    if (!reassembling_) {
        bytes_.clear();
        if (size > kByteLimit || size < frame::kHeadSize || !startsLikeAFrame(report))
            return;
        const std::size_t length = *frame::frameSize(report) - frame::kOverhead;
        if (length % 64 == 63 || length + frame::kOverhead > kByteLimit) {
            // A payload of 64n + 63 bytes would need 65 bytes in its last
            // report, and a frame longer than the byte limit is cleared by the
            // frame check anyway: neither can complete, so drop the header now
            // instead of swallowing the reports that follow it.
            return;
        }
        // Only the head counts; the rest of the header report is ignored.
        bytes_.assign(report.begin(), report.begin() + frame::kHeadSize);
        expectedLength_ = length;
        reportCounter_ = 0;
        reassembling_ = true;
        return;
    }

    if (std::size_t(reportCounter_) == expectedLength_ / 64) {
        // The last report: the rest of the payload, the checksum and the end byte.
        const std::size_t wanted = expectedLength_ % 64 + 2;
        bytes_.insert(bytes_.end(), report.begin(), report.begin() + std::ptrdiff_t(std::min(wanted, size)));
        ++reportCounter_;
        dispatchCompleteFrame();
        if (reassembling_) {
            // A short last report left the frame incomplete: start afresh.
            bytes_.clear();
            reassembling_ = false;
        }
        return;
    }
    bytes_.insert(bytes_.end(), report.begin(), report.end());
    ++reportCounter_;
}

} // namespace talvex
