#pragma once
// Collects received bytes, recognises whole reply frames, tells the link
// supervision about each one and dispatches it to the handler of its command.
// Every medium hands bytes over here: the bus link whole replies, the USB link
// the frames it has joined from its reports.

#include "link/frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace talvex {

class ReplyReceiver {
public:
    // Received bytes beyond this many are dropped (a frame this long cannot be one).
    static constexpr std::size_t kByteLimit = 1000;


    // A handler gets the reply frame as it arrived; the receive buffer is
    // already empty when it runs, and the bytes stay valid until it returns.
    using Handler = std::function<void(const frame::Reply& reply)>;
    void setHandler(std::uint8_t command, Handler handler) { handlers_[command] = std::move(handler); }
    // Replies from devices other than the link's own (a bus with several
    // amplifiers): `isOtherDevice` tells them by their address byte; they go to
    // `handler` alone and do not reset the no-reply counter, so a silent device
    // of the link's own is still caught while the others answer. Empty: every
    // reply is the link's own.
    using AddressTest = std::function<bool(std::uint8_t address)>;
    void setOtherDeviceHandler(AddressTest isOtherDevice, Handler handler)
    {
        isOtherDevice_ = std::move(isOtherDevice);
        otherDeviceHandler_ = std::move(handler);
    }
    // Sees every complete frame before it is dispatched (traffic capture);
    // `isReply` is false for a frame that goes to no handler (wrong end byte or operation).
    using FrameObserver = std::function<void(std::span<const std::uint8_t> frame, bool isReply)>;
    void setFrameObserver(FrameObserver observer) { observer_ = std::move(observer); }
    // Runs for every complete frame that counts for the link's own device (the
    // session resets its no-reply counter then).
    void setOwnFrameObserver(std::function<void()> observer) { ownFrameObserver_ = std::move(observer); }

    // A whole reply to a read of another device (a bus poll): observed, then
    // handed to the other-device handler whatever its address says.
    void dispatchOtherDevice(std::span<const std::uint8_t> frame);

    // Bytes of one read, appended, then the frame check.
    void receive(std::span<const std::uint8_t> bytes);
    // One whole frame: what was received before it is dropped, then the frame check.
    void receiveFrame(std::span<const std::uint8_t> frame);
    // Frame check and dispatch on the bytes received so far.
    void dispatchCompleteFrame();

    const std::vector<std::uint8_t>& receivedBytes() const { return bytes_; }
    void clear() { bytes_.clear(); }

private:
    std::array<Handler, 256> handlers_{};
    AddressTest isOtherDevice_;
    Handler otherDeviceHandler_;
    FrameObserver observer_;
    std::function<void()> ownFrameObserver_;
    std::vector<std::uint8_t> bytes_;
};

} // namespace talvex
