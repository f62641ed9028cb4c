#pragma once
// Sends encoded frames over the USB HID link while it carries the connection
// (USB mode flag set and a device open), otherwise over the serial link.

#include "link/frame_packaging.h"
#include "link/frame_transport.h"
#include "link/serial_link.h"
#include "link/usb_hid_link.h"

namespace talvex {

class TransportRouter : public FrameTransport {
public:
    TransportRouter(SerialLink& serial, UsbHidLink& usb) : serial_(serial), usb_(usb) {}

    bool usbActive() const override { return usb_.isOpen(); }
    void sendFrame(std::span<const std::uint8_t> frame) override { submitFrame(frame, BusPriority::Edit); }
    // USB reaches one device and keeps its own order; the serial bus goes through its scheduler.
    void submitFrame(std::span<const std::uint8_t> frame, BusPriority priority) override
    {
        if (usbActive())
            usb_.writeFrame(frame);
        else
            serial_.submit(frame, priority);
    }

private:
    SerialLink& serial_;
    UsbHidLink& usb_;
};

} // namespace talvex
