#pragma once
// Where encoded frames go. Each transport packages the bytes for its medium
// (frame_packaging.h): the USB link as 65-byte output reports, the serial link raw.

#include "link/bus_scheduler.h"

#include <cstdint>
#include <span>

namespace talvex {

class FrameTransport {
public:
    virtual ~FrameTransport() = default;
    // True when the USB mode flag is set and an HID device is open.
    virtual bool usbActive() const = 0;
    // One whole encoded frame, from the first start byte to the end byte.
    virtual void sendFrame(std::span<const std::uint8_t> frame) = 0;
    // The same, with the frame's place on a shared bus (ignored where the
    // medium is not shared).
    virtual void submitFrame(std::span<const std::uint8_t> frame, BusPriority priority)
    {
        (void)priority;
        sendFrame(frame);
    }
};

} // namespace talvex
