#pragma once

#include "link/frame.h"

#include <cstdint>
#include <span>
#include <vector>

inline std::vector<std::uint8_t> request(std::uint8_t address, std::uint8_t operation, std::uint8_t index,
                                         std::uint8_t command, std::uint8_t subIndex = 0,
                                         std::vector<std::uint8_t> payload = {})
{
    talvex::frame::Frame f{address, operation, index, command, subIndex, std::move(payload)};
    return talvex::frame::encode(f);
}

inline std::vector<std::uint8_t> readRequest(std::uint8_t address, std::uint8_t command, std::uint8_t index = 0)
{
    return request(address, talvex::frame::kOpRead, index, command);
}

// Decodes every reply frame in `bytes`, in order.
inline std::vector<talvex::frame::Frame> replies(std::span<const std::uint8_t> bytes)
{
    std::vector<talvex::frame::Frame> out;
    while (!bytes.empty()) {
        talvex::frame::Decoded decoded;
        if (talvex::frame::decode(bytes, decoded) != talvex::frame::DecodeStatus::Complete)
            break;
        out.push_back(decoded.frame);
        bytes = bytes.subspan(decoded.consumed);
    }
    return out;
}
