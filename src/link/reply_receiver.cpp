#include "link/reply_receiver.h"

#include "link/hex_text.h"

#include <algorithm>
#include <string_view>

namespace talvex {

namespace {

constexpr std::string_view kStartText = "A5A5A5";
constexpr std::size_t kHeaderChars = 20;

} // namespace

bool ReplyReceiver::readHeader(Header& header) const
{
    header.operation = hexAt(text_, 8);
    header.command = hexAt(text_, 12);
    header.length = hexAt(text_, 16, 4);
    return header.operation >= 0 && header.command >= 0 && header.length >= 0;
}

void ReplyReceiver::dealwithdata()
{
    if (text_.size() > kTextLimit)
        text_.clear();
    if (text_.size() < kStartText.size()) {
        // Too short to judge; keep it only while it can still become a frame start.
        if (!std::string_view(kStartText).starts_with(text_))
            text_.clear();
        return;
    }
    if (!std::string_view(text_).starts_with(kStartText)) {
        text_.clear();
        return;
    }
    // A header that has not fully arrived cannot tell the length yet: wait.
    if (text_.size() < kHeaderChars)
        return;
    Header header;
    if (!readHeader(header)) {
        text_.clear();
        reassembling_ = false;
        return;
    }
    const std::size_t total = 2 * std::size_t(header.length) + 24;
    if (text_.size() < total)
        return;
    const bool endOk = hexAt(text_, total - 2) == 0xAA;
    link_.noReplyCount = 0;
    std::string frameText = std::move(text_);
    text_.clear();
    if (observer_)
        observer_(frameText, endOk && header.operation == 0x52);
    if (endOk && header.operation == 0x52) {
        if (auto& handler = handlers_[std::size_t(header.command)]) {
            dispatching_ = true;
            handler(frameText);
            dispatching_ = false;
        }
    }
    reassembling_ = false;
    drainDeferred();
}

void ReplyReceiver::drainDeferred()
{
    while (!deferred_.empty() && !dispatching_) {
        DeferredInput input = std::move(deferred_.front());
        deferred_.erase(deferred_.begin());
        if (input.usbReport)
            ShowRead(input.bytes.data(), input.bytes.size());
        else
            appendSerialBytes(input.bytes);
    }
}

void ReplyReceiver::appendSerialBytes(std::span<const std::uint8_t> bytes)
{
    if (dispatching_) {
        deferred_.push_back({false, {bytes.begin(), bytes.end()}});
        return;
    }
    appendHex(text_, bytes);
    dealwithdata();
}

void ReplyReceiver::ShowRead(const std::uint8_t* data, std::size_t size)
{
    if (dispatching_) {
        deferred_.push_back({true, {data, data + size}});
        return;
    }
    std::string report;
    appendHex(report, std::span<const std::uint8_t>(data, size));

    if (!reassembling_) {
        text_ = report.size() > kTextLimit ? std::string() : std::move(report);
        if (!std::string_view(text_).starts_with(kStartText) || text_.size() < kHeaderChars) {
            text_.clear();
            return;
        }
        Header header;
        if (!readHeader(header) || header.length % 64 == 63 ||
            2 * std::size_t(header.length) + 24 > kTextLimit) {
            // A payload of 64n + 63 bytes would need 65 bytes in its last
            // report, and a frame longer than the text limit is cleared by the
            // frame check anyway: neither can complete, so drop the header now
            // instead of swallowing the reports that follow it.
            text_.clear();
            return;
        }
        text_.resize(kHeaderChars);
        expectedLength_ = header.length;
        reportCounter_ = 0;
        reassembling_ = true;
        return;
    }

    if (reportCounter_ == expectedLength_ / 64) {
        const std::size_t wanted = 2 * std::size_t(expectedLength_ % 64 + 2);
        text_.append(report, 0, std::min(wanted, report.size()));
        ++reportCounter_;
        dealwithdata();
        if (reassembling_) {
            // A short last report left the frame incomplete: start afresh.
            text_.clear();
            reassembling_ = false;
        }
        return;
    }
    text_ += report;
    ++reportCounter_;
}

} // namespace talvex
