#pragma once
// Collects received bytes as hex text, recognises whole reply frames, resets the
// link supervision and dispatches each frame to the handler of its command.

#include "link/link_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace talvex {

class ReplyReceiver {
public:
    static constexpr std::size_t kTextLimit = 2000;

    explicit ReplyReceiver(LinkState& link) : link_(link) {}

    // A handler gets the whole reply frame as hex text; the receive text is
    // already empty when it runs.
    using Handler = std::function<void(const std::string& frameText)>;
    void setHandler(std::uint8_t command, Handler handler) { handlers_[command] = std::move(handler); }
    // Sees every complete frame before it is dispatched (traffic capture);
    // `isReply` is false for a frame that goes to no handler (wrong end byte or operation).
    using FrameObserver = std::function<void(const std::string& frameText, bool isReply)>;
    void setFrameObserver(FrameObserver observer) { observer_ = std::move(observer); }

    // Serial path: bytes of one read, appended as hex, then the frame check.
    void appendSerialBytes(std::span<const std::uint8_t> bytes);
    // USB path: one input report (64 data bytes, no report id).
    void ShowRead(const std::uint8_t* data, std::size_t size);
    // Frame check and dispatch on the current receive text.
    void dealwithdata();

    const std::string& receiveText() const { return text_; }
    void clear() { text_.clear(); }

    bool reassembling() const { return reassembling_; }
    void clearReassembly() { reassembling_ = false; }

private:
    struct Header {
        int operation = 0;
        int command = 0;
        int length = 0;
    };
    bool readHeader(Header& header) const;
    void drainDeferred();

    // Input that arrives while a handler runs (a handler may pump events) is
    // taken up only after that frame has been cleared, in arrival order.
    struct DeferredInput {
        bool usbReport = false;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<DeferredInput> deferred_;
    bool dispatching_ = false;

    LinkState& link_;
    std::array<Handler, 256> handlers_{};
    FrameObserver observer_;
    std::string text_;
    bool reassembling_ = false;
    int reportCounter_ = 0;
    int expectedLength_ = 0;
};

} // namespace talvex
