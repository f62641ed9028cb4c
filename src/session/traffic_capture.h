#pragma once
// Feeds the traffic log from the link: frames on their way out (through a tap
// between the command sender and the transport), complete reply frames (the
// receiver's frame observer), the amplifier's USB arrival and removal, port and
// read errors, and the connection events the session reports.

#include "link/hid_controller.h"
#include "link/reply_receiver.h"
#include "link/serial_link.h"
#include "link/traffic_log.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string_view>

namespace talvex {

class UsbHidLink;

class TrafficCapture : public QObject {
    Q_OBJECT
public:
    // Watches the HID controller at once: made before the USB link connects to
    // the controller, the capture logs an arrival before the connection it causes.
    TrafficCapture(TrafficLog& log, HidController& hid, QObject* parent = nullptr);
    ~TrafficCapture() override;

    // Taps `transport` and the receiver; `portName` names the serial port the
    // link uses (the selected port). USB frames that `usb` reports as not sent
    // (written on its writer thread, reported on this one) are marked.
    void attach(FrameTransport& transport, ReplyReceiver& receiver, SerialLink& serial,
                std::function<QString()> portName, UsbHidLink& usb);

    // The transport the command sender writes to (after attach).
    FrameTransport& transport() { return *tap_; }
    // A connection event on the transport in use ("opened", "closed", "lost").
    void linkEvent(std::string_view text);

private:
    std::string transportName() const;

    TrafficLog& log_;
    std::unique_ptr<TrafficTap> tap_;
};

} // namespace talvex
