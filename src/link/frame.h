#pragma once
// Byte layout of command and reply frames:
// A5 A5 A5, address, operation, index, command, sub-index, length (big-endian),
// payload, XOR checksum over address..payload, AA.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace talvex::frame {

inline constexpr std::uint8_t kStart = 0xA5;
inline constexpr std::uint8_t kEnd = 0xAA;
inline constexpr std::uint8_t kOpWrite = 0xA1;
inline constexpr std::uint8_t kOpRead = 0xA2;
inline constexpr std::uint8_t kOpReply = 0x52;
inline constexpr std::uint8_t kBroadcastAddress = 255;
inline constexpr std::size_t kHeadSize = 10;
inline constexpr std::size_t kOverhead = 12; // head + checksum + end byte

// Command codes.
inline constexpr std::uint8_t kCmdWriteSystemRecord = 0x21;
inline constexpr std::uint8_t kCmdReadSystemRecord = 0x22;
inline constexpr std::uint8_t kCmdReadPresetNames = 0x26;
inline constexpr std::uint8_t kCmdWritePresetName = 0x27;
inline constexpr std::uint8_t kCmdCurrentGroup = 0x28;
inline constexpr std::uint8_t kCmdStoredGroup = 0x29;
inline constexpr std::uint8_t kCmdMeters = 0x2B;
inline constexpr std::uint8_t kCmdIdentification = 0xA0;

inline constexpr std::size_t kGroupSize = 640;
inline constexpr std::size_t kPresetNamesSize = 400;
inline constexpr std::size_t kSystemRecordSize = 48;
inline constexpr std::size_t kMetersSize = 8;
inline constexpr std::size_t kIdentificationSize = 24;

// The 24 characters the amplifier identifies itself with.
inline constexpr char kIdentification[] = "KORVEN2Q7 V2.1.0        ";
static_assert(sizeof kIdentification == kIdentificationSize + 1);

// Length of a frame's hex text (the traffic log, group files) carrying `payload` data bytes.
constexpr std::size_t replyTextLength(std::size_t payload) { return 2 * (payload + kOverhead); }

struct Frame {
    std::uint8_t address = 0;
    std::uint8_t operation = 0;
    std::uint8_t index = 0;
    std::uint8_t command = 0;
    std::uint8_t subIndex = 0;
    std::vector<std::uint8_t> payload;
};

std::vector<std::uint8_t> encode(const Frame& frame);

// Size of the whole frame whose head starts `bytes` (head, payload, checksum and
// end byte), or nothing while the ten head bytes have not all arrived.
std::optional<std::size_t> frameSize(std::span<const std::uint8_t> bytes);

// A received reply frame, read in place: its bytes exactly as they arrived, from
// the first start byte to the end byte. The checksum is not examined.
struct Reply {
    std::span<const std::uint8_t> bytes;

    std::uint8_t address() const { return bytes[3]; }
    std::uint8_t operation() const { return bytes[4]; }
    std::uint8_t index() const { return bytes[5]; }
    std::uint8_t command() const { return bytes[6]; }
    std::uint8_t subIndex() const { return bytes[7]; }
    std::span<const std::uint8_t> payload() const { return bytes.subspan(kHeadSize, bytes.size() - kOverhead); }
};

// Looks for one whole frame at the start of `bytes`. Returns it and the bytes it
// took when the start bytes, length and end byte are all present and right; the
// checksum is checked only when `checkChecksum` is set.
struct Decoded {
    Frame frame;
    std::size_t consumed = 0;
    bool checksumOk = false;
};
enum class DecodeStatus { Complete, NeedMore, Invalid };
DecodeStatus decode(std::span<const std::uint8_t> bytes, Decoded& out);

} // namespace talvex::frame
