#pragma once
// Sends built frames over the USB HID link while it carries the connection
// (USB mode flag set and a device open), otherwise over the serial link.

#include "link/frame_transport.h"
#include "link/link_state.h"
#include "link/serial_link.h"
#include "link/usb_hid_link.h"

namespace talvex {

class TransportRouter : public FrameTransport {
public:
    TransportRouter(LinkState& link, SerialLink& serial, UsbHidLink& usb)
        : link_(link), serial_(serial), usb_(usb)
    {
    }

    bool usbActive() const override { return link_.usbMode && usb_.hasDevice(); }
    void writeHidReport(std::span<const std::uint8_t, 65> report) override { usb_.sendReport(report); }
    void writeHidBlock(std::span<const std::uint8_t, 642> block) override { usb_.sendBlock(block); }
    void writeSerial(std::span<const std::uint8_t> bytes) override { serial_.write(bytes); }

private:
    LinkState& link_;
    SerialLink& serial_;
    UsbHidLink& usb_;
};

} // namespace talvex
