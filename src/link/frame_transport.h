#pragma once
// Where built frames go. The USB link takes the 65-byte transmit report (and the
// block buffer as a report sequence); the serial link takes the frame bytes.

#include <cstdint>
#include <span>

namespace talvex {

class FrameTransport {
public:
    virtual ~FrameTransport() = default;
    // True when the USB mode flag is set and an HID device is open.
    virtual bool usbActive() const = 0;
    virtual void writeHidReport(std::span<const std::uint8_t, 65> report) = 0;
    virtual void writeHidBlock(std::span<const std::uint8_t, 642> block) = 0;
    virtual void writeSerial(std::span<const std::uint8_t> bytes) = 0;
};

} // namespace talvex
