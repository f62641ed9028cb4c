#pragma once
// Frames on the wire: building requests and replies, reading back what was sent,
// and a transport that records every write.

#include "link/frame.h"
#include "link/frame_packaging.h"
#include "link/frame_transport.h"
#include "link/hex_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace talvex::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes request(std::uint8_t address, std::uint8_t operation, std::uint8_t index, std::uint8_t command,
                     std::uint8_t subIndex = 0, Bytes payload = {})
{
    return frame::encode({address, operation, index, command, subIndex, std::move(payload)});
}

inline Bytes readRequest(std::uint8_t address, std::uint8_t command, std::uint8_t index = 0)
{
    return request(address, frame::kOpRead, index, command);
}

// Decodes every frame in `bytes`, in order, up to the first incomplete one; when `strict`, stray bytes
// and bad checksums fail the test.
inline std::vector<frame::Frame> replies(std::span<const std::uint8_t> bytes, bool strict = false)
{
    std::vector<frame::Frame> out;
    for (frame::Decoded decoded; !bytes.empty(); bytes = bytes.subspan(decoded.consumed)) {
        if (frame::decode(bytes, decoded) != frame::DecodeStatus::Complete) {
            EXPECT_FALSE(strict) << "stray bytes on the wire";
            break;
        }
        EXPECT_TRUE(decoded.checksumOk || !strict);
        out.push_back(decoded.frame);
    }
    return out;
}

// Every frame in the writes, joined (a block write goes out as its head and then its
// block); stray bytes and bad checksums fail the test.
inline std::vector<frame::Frame> decodeWrites(const std::vector<Bytes>& writes)
{
    Bytes bytes;
    for (const auto& write : writes)
        bytes.insert(bytes.end(), write.begin(), write.end());
    return replies(bytes, true);
}

// Fields of a raw frame (bytes: 3 start, address, operation, index, command, sub-index).
inline int addressOf(const Bytes& f) { return f.at(3); }
inline int commandOf(const Bytes& f) { return f.size() > 6 ? f[6] : -1; }
inline bool isWrite(const Bytes& f) { return f.size() > 4 && f[4] == frame::kOpWrite; }
// The chunk a raw frame names: its command and sub-index.
inline std::pair<int, int> commandAndSubIndexOf(const Bytes& f) { return {f.at(6), f.at(7)}; }

// Receive text of a reply frame from address 0 with the given command and data bytes.
inline std::string replyText(std::uint8_t command, const Bytes& data, std::uint8_t index = 0)
{
    return toHex(frame::encode({0, frame::kOpReply, index, command, 0, data}));
}

// Keeps every write the codec makes, in order, as the active transport would
// package it: over USB a part that fits one report as that report, a block's
// data as the block; over the serial link each part as it is.
struct RecordingTransport : FrameTransport {
    bool usb = false;
    std::vector<std::vector<std::uint8_t>> hidReports;
    std::vector<std::vector<std::uint8_t>> hidBlocks;
    std::vector<std::vector<std::uint8_t>> serialWrites;

    bool usbActive() const override { return usb; }
    void sendFrame(std::span<const std::uint8_t> frame) override
    {
        for (auto part : talvex::frameParts(frame)) {
            if (!usb)
                serialWrites.emplace_back(part.begin(), part.end());
            else if (part.size() <= talvex::kHidReportData) {
                const auto report = talvex::hidReports(part).front();
                hidReports.emplace_back(report.begin(), report.end());
            } else
                hidBlocks.emplace_back(part.begin(), part.end());
        }
    }
};

} // namespace talvex::testing
