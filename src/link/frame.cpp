#include "link/frame.h"

namespace talvex::frame {

std::vector<std::uint8_t> encode(const Frame& f)
{
    const std::size_t length = f.payload.size();
    std::vector<std::uint8_t> out;
    out.reserve(length + kOverhead);
    for (std::uint8_t b : {kStart, kStart, kStart, f.address, f.operation, f.index, f.command, f.subIndex,
                           std::uint8_t(length >> 8), std::uint8_t(length & 0xFF)})
        out.push_back(b);
    out.insert(out.end(), f.payload.begin(), f.payload.end());
    std::uint8_t sum = 0;
    for (std::size_t i = 3; i < out.size(); ++i)
        sum ^= out[i];
    out.push_back(sum);
    out.push_back(kEnd);
    return out;
}

std::optional<std::size_t> frameSize(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kHeadSize)
        return std::nullopt;
    return (std::size_t(bytes[8]) << 8 | bytes[9]) + kOverhead;
}

DecodeStatus decode(std::span<const std::uint8_t> bytes, Decoded& out)
{
    for (std::size_t i = 0; i < 3 && i < bytes.size(); ++i)
        if (bytes[i] != kStart)
            return DecodeStatus::Invalid;
    const auto size = frameSize(bytes);
    if (!size || bytes.size() < *size)
        return DecodeStatus::NeedMore;
    const std::size_t length = *size - kOverhead;
    if (bytes[length + kOverhead - 1] != kEnd)
        return DecodeStatus::Invalid;
    std::uint8_t sum = 0;
    for (std::size_t i = 3; i < kHeadSize + length; ++i)
        sum ^= bytes[i];
    out.frame.address = bytes[3];
    out.frame.operation = bytes[4];
    out.frame.index = bytes[5];
    out.frame.command = bytes[6];
    out.frame.subIndex = bytes[7];
    out.frame.payload.assign(bytes.begin() + kHeadSize, bytes.begin() + kHeadSize + length);
    out.consumed = length + kOverhead;
    out.checksumOk = sum == bytes[kHeadSize + length];
    return DecodeStatus::Complete;
}

} // namespace talvex::frame
